// Card numbers: SN numbers set, deleted and queried, the card-or-number mode,
// the card wait time and the lock number.
#include "settings/cards.h"

#include "exports/results.h"
#include "exports/settings_exports.h"
#include "w_pclog.h"

using namespace wpl::exports;
using wpl::settings::SettingRow;

namespace {

int32_t ValueQuery(const wpl::settings::Setting& q, int32_t address, int32_t port,
                   std::initializer_list<int32_t> values = {}) {
  return WithProcessEnv(0xFFFF, [&](wpl::Env& env) {
    return ValueOrFailure(wpl::settings::RunSerialSetting(
        env, q, address, port, std::span(values.begin(), values.size())));
  });
}

}  // namespace

WPL_EXPORT int32_t WPCLOG_CALL _SETSN(int32_t address, int32_t port, int32_t first,
                                      int32_t second) {
  return SerialSetting(SettingRow("_SETSN"), address, port, {first, second});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANSETSN(const char* ip, int32_t first, int32_t second) {
  return LanSetting(SettingRow("_LANSETSN"), ip, {first, second});
}

WPL_EXPORT int32_t WPCLOG_CALL _DELSN(int32_t address, int32_t port, int32_t sn) {
  return SerialSetting(SettingRow("_DELSN"), address, port, {sn});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANDELSN(const char* ip, int32_t sn) {
  return LanSetting(SettingRow("_LANDELSN"), ip, {sn});
}

WPL_EXPORT int32_t WPCLOG_CALL _WHATSN(int32_t address, int32_t port, int32_t sn) {
  return ValueQuery(wpl::settings::ValueQueryRow("_WHATSN"), address, port, {sn});
}

WPL_EXPORT int32_t WPCLOG_CALL _GETSNLENTH(int32_t address, int32_t port) {
  return ValueQuery(wpl::settings::ValueQueryRow("_GETSNLENTH"), address, port);
}

WPL_EXPORT int32_t WPCLOG_CALL _SETSNORCARD(int32_t address, int32_t port, int32_t mode) {
  return SerialSetting(SettingRow("_SETSNORCARD"), address, port, {mode});
}

WPL_EXPORT int32_t WPCLOG_CALL _SETCARDWAITTIME(int32_t address, int32_t port, int32_t wait) {
  return SerialSetting(SettingRow("_SETCARDWAITTIME"), address, port, {wait});
}

WPL_EXPORT int32_t WPCLOG_CALL _SETLOCKNUM(int32_t address, int32_t port, int32_t lock) {
  return SerialSetting(SettingRow("_SETLOCKNUM"), address, port, {lock});
}

WPL_EXPORT int32_t WPCLOG_CALL _DELLOCKNUM(int32_t address, int32_t port) {
  return SerialSetting(SettingRow("_DELLOCKNUM"), address, port);
}
