// The fingerprint module, directly and through a terminal: the status byte
// of the module's reply, or 255.
#include "exports/boundary.h"
#include "exports/results.h"
#include "fingerprint/module_link.h"
#include "fingerprint/templates.h"
#include "w_pclog.h"

using namespace wpl::exports;
using namespace wpl::fingerprint;

namespace {

template <typename Body>
int32_t ModuleExport(Body&& body) {
  return WithProcessEnv(255, [&](wpl::Env& env) { return StatusOr255(body(env)); });
}

}  // namespace

WPL_EXPORT int32_t WPCLOG_CALL _FDATXDATA(int32_t port, int32_t command, int32_t p1, int32_t p2,
                                          int32_t p3, int32_t p4) {
  return ModuleExport([&](wpl::Env& env) {
    const ModuleParams params{static_cast<uint16_t>(p1), static_cast<uint16_t>(p2),
                              static_cast<uint16_t>(p3), static_cast<uint16_t>(p4)};
    return ModuleCommand(env, port, static_cast<uint8_t>(command), params);
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _GETFDAVER(int32_t port) {
  return ModuleExport(
      [&](wpl::Env& env) { return ModuleCommand(env, port, module_cmd::kVersion, {}); });
}

WPL_EXPORT int32_t WPCLOG_CALL _GETIDLIST(int32_t address, int32_t port) {
  return ModuleExport([&](wpl::Env& env) { return GetIdList(env, address, port); });
}

WPL_EXPORT int32_t WPCLOG_CALL _SENDIDFPREC(int32_t address, int32_t port, int32_t user,
                                            int32_t /*ignored*/, int32_t number) {
  return ModuleExport(
      [&](wpl::Env& env) { return SendTemplate(env, address, port, user, number); });
}

WPL_EXPORT int32_t WPCLOG_CALL _GETIDFPREC(int32_t address, int32_t port, int32_t user,
                                           int32_t attribute, int32_t number) {
  return ModuleExport(
      [&](wpl::Env& env) { return GetTemplate(env, address, port, user, attribute, number); });
}

WPL_EXPORT int32_t WPCLOG_CALL _DELIDFPREC(int32_t address, int32_t port, int32_t user,
                                           int32_t attribute, int32_t number) {
  return ModuleExport(
      [&](wpl::Env& env) { return DeleteTemplate(env, address, port, user, attribute, number); });
}

WPL_EXPORT int32_t WPCLOG_CALL _DELIDFPALL(int32_t address, int32_t port) {
  return ModuleExport([&](wpl::Env& env) { return DeleteAllTemplates(env, address, port); });
}
