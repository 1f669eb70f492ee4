// Door opening mode, opening time, open-or-closed state, and the bell.
#include "exports/settings_exports.h"
#include "w_pclog.h"

using namespace wpl::exports;
using wpl::settings::SettingRow;

WPL_EXPORT int32_t WPCLOG_CALL _SETOPENMODE(int32_t address, int32_t port, int32_t value) {
  return SerialSetting(SettingRow("_SETOPENMODE"), address, port, {value});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANSETOPENMODE(const char* ip, int32_t value) {
  return LanSetting(SettingRow("_LANSETOPENMODE"), ip, {value});
}

WPL_EXPORT int32_t WPCLOG_CALL _SETOPENTIME(int32_t address, int32_t port, int32_t value) {
  return SerialSetting(SettingRow("_SETOPENTIME"), address, port, {value});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANSETOPENTIME(const char* ip, int32_t value) {
  return LanSetting(SettingRow("_LANSETOPENTIME"), ip, {value});
}

WPL_EXPORT int32_t WPCLOG_CALL _SETOPENCLOSE(int32_t address, int32_t port, int32_t flag) {
  return SerialSetting(SettingRow("_SETOPENCLOSE"), address, port, {flag});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANSETOPENCLOSE(const char* ip, int32_t value) {
  return LanSetting(SettingRow("_LANSETOPENCLOSE"), ip, {value});
}

WPL_EXPORT int32_t WPCLOG_CALL _SETBELL(int32_t address, int32_t port, int32_t first,
                                        int32_t second, int32_t third) {
  return SerialSetting(SettingRow("_SETBELL"), address, port, {first, second, third});
}
