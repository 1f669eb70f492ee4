// Clock, identity and line speed.
#include "exports/results.h"
#include "exports/settings_exports.h"
#include "settings/line_speed.h"
#include "w_pclog.h"

using namespace wpl::exports;
using wpl::settings::SettingRow;

WPL_EXPORT int32_t WPCLOG_CALL _SETTIME(int32_t address, int32_t port, int32_t c1, int32_t c2,
                                        int32_t c3, int32_t c4, int32_t c5, int32_t c6,
                                        int32_t c7) {
  return SerialSetting(SettingRow("_SETTIME"), address, port, {c1, c2, c3, c4, c5, c6, c7});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANSETTIME(const char* ip, int32_t c1, int32_t c2, int32_t c3,
                                           int32_t c4, int32_t c5, int32_t c6, int32_t c7) {
  return LanSetting(SettingRow("_LANSETTIME"), ip, {c1, c2, c3, c4, c5, c6, c7});
}

WPL_EXPORT int32_t WPCLOG_CALL _SETMACHINEID(int32_t address, int32_t port, int32_t machine) {
  return SerialSetting(SettingRow("_SETMACHINEID"), address, port, {machine});
}

WPL_EXPORT int32_t WPCLOG_CALL _SETPASSWORD(int32_t address, int32_t port, int32_t password) {
  return SerialSetting(SettingRow("_SETPASSWORD"), address, port, {password});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANANSWER(const char* ip, int32_t value) {
  return LanSetting(SettingRow("_LANANSWER"), ip, {value});
}

WPL_EXPORT int32_t WPCLOG_CALL _SETBAUDRATE(int32_t port, int32_t last, int32_t r1, int32_t r2,
                                            int32_t r3, int32_t r4, int32_t r5, int32_t r6,
                                            int32_t r7, int32_t r8, int32_t r9, int32_t r10,
                                            int32_t r11, int32_t r12) {
  const int32_t request[12] = {r1, r2, r3, r4, r5, r6, r7, r8, r9, r10, r11, r12};
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(wpl::settings::SetBaudRate(env, port, last, request));
  });
}
