#include "settings/settings.h"

#include "link/lan_connection.h"

namespace wpl::settings {

const Setting* FindSetting(std::string_view name) {
  for (const Setting& s : kSettings)
    if (s.name == name) return &s;
  return nullptr;
}

Payload PayloadFor(const Setting& setting, std::span<const int32_t> values) {
  if (values.size() != static_cast<size_t>(setting.values))
    throw std::invalid_argument("wrong number of values for a setting");
  return setting.payload ? setting.payload(values) : Payload{};
}

link::SerialResult RunSerialSetting(Env& env, const Setting& setting, int32_t address, int32_t port,
                                    std::span<const int32_t> values) {
  if (!setting.serial) throw std::invalid_argument("not a serial setting");
  return link::RunSerialCommand(env, *setting.serial, address, port, PayloadFor(setting, values));
}

link::LanResult RunLanSetting(Env& env, const Setting& setting, const char* ip,
                              std::span<const int32_t> values) {
  if (!setting.lan) throw std::invalid_argument("not a network setting");
  return link::RunLanCommand(env, ip, *setting.lan, PayloadFor(setting, values));
}

}  // namespace wpl::settings
