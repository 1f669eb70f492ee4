#include "settings/settings.h"

#include "link/lan_connection.h"

namespace wpl::settings {

Payload LowBytes(std::span<const int32_t> values) {
  Payload out;
  for (int32_t v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

Payload HighLow(std::span<const int32_t> values) {
  const auto v = static_cast<uint32_t>(values[0]);
  return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

Payload OpenCloseFlag(std::span<const int32_t> values) {
  return {static_cast<uint8_t>(values[0] == 1 ? 0x55 : 0x00)};
}

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
