#include "download/modem_download.h"
#include "download/network_download.h"
#include "download/serial_download.h"
#include "exports/boundary.h"
#include "exports/results.h"
#include "w_pclog.h"

using namespace wpl::exports;

WPL_EXPORT int32_t WPCLOG_CALL _DOWNLOAD(int32_t address, int32_t port) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(wpl::download::SerialDownload(env, address, port));
  });
}

namespace {

int32_t RunNetworkDownload(const char* ip, const wpl::download::NetworkTarget& target) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(wpl::download::NetworkDownload(env, ip, target));
  });
}

}  // namespace

WPL_EXPORT int32_t WPCLOG_CALL _LANDOWNLOAD(const char* ip) { return RunNetworkDownload(ip, {}); }

WPL_EXPORT int32_t WPCLOG_CALL _LANMANYDOWNLOAD(const char* ip, int32_t terminal) {
  return RunNetworkDownload(ip, {wpl::download::NetworkDownloadKind::kPerTerminal, terminal});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANDOWNLOADADDR(const char* ip, int32_t address) {
  return RunNetworkDownload(
      ip, {wpl::download::NetworkDownloadKind::kAddressed, 0, static_cast<uint8_t>(address)});
}

WPL_EXPORT int32_t WPCLOG_CALL _MODEMDOWNLOAD(int32_t address, int32_t port, const char* number) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(wpl::download::ModemDownload(env, address, port, number));
  });
}
