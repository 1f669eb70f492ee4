// Enabling users and the restore commands.
#include "exports/settings_exports.h"
#include "w_pclog.h"

using namespace wpl::exports;
using wpl::settings::SettingRow;

WPL_EXPORT int32_t WPCLOG_CALL _ENABLEALL(int32_t address, int32_t port) {
  return SerialSetting(SettingRow("_ENABLEALL"), address, port);
}

WPL_EXPORT int32_t WPCLOG_CALL _DISABLEALL(int32_t address, int32_t port) {
  return SerialSetting(SettingRow("_DISABLEALL"), address, port);
}

WPL_EXPORT int32_t WPCLOG_CALL _ENABLEPERSON(int32_t address, int32_t port, int32_t person) {
  return SerialSetting(SettingRow("_ENABLEPERSON"), address, port, {person});
}

WPL_EXPORT int32_t WPCLOG_CALL _DISABLEPERSON(int32_t address, int32_t port, int32_t person) {
  return SerialSetting(SettingRow("_DISABLEPERSON"), address, port, {person});
}

WPL_EXPORT int32_t WPCLOG_CALL _RESTORE(int32_t address, int32_t port) {
  return SerialSetting(SettingRow("_RESTORE"), address, port);
}

WPL_EXPORT int32_t WPCLOG_CALL _RESTOREALL(int32_t address, int32_t port) {
  return SerialSetting(SettingRow("_RESTOREALL"), address, port);
}

WPL_EXPORT int32_t WPCLOG_CALL _LANENABLEALL(const char* ip) {
  return LanSetting(SettingRow("_LANENABLEALL"), ip);
}

WPL_EXPORT int32_t WPCLOG_CALL _LANDISABLEALL(const char* ip) {
  return LanSetting(SettingRow("_LANDISABLEALL"), ip);
}

WPL_EXPORT int32_t WPCLOG_CALL _LANENABLEPERSON(const char* ip, int32_t person) {
  return LanSetting(SettingRow("_LANENABLEPERSON"), ip, {person});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANDISABLEPERSON(const char* ip, int32_t person) {
  return LanSetting(SettingRow("_LANDISABLEPERSON"), ip, {person});
}

WPL_EXPORT int32_t WPCLOG_CALL _LANRESTOREALL(const char* ip) {
  return LanSetting(SettingRow("_LANRESTOREALL"), ip);
}
