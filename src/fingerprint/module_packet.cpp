#include "fingerprint/module_packet.h"

#include "link/command_frame.h"
#include "records/format.h"

namespace wpl::fingerprint {

ModulePacket BuildModulePacket(uint8_t command, const ModuleParams& params) {
  ModulePacket p{};
  p[1] = command;
  for (size_t i = 0; i < params.size(); ++i) {
    p[2 + 2 * i] = static_cast<uint8_t>(params[i]);
    p[3 + 2 * i] = static_cast<uint8_t>(params[i] >> 8);
  }
  p[11] = link::Checksum8(std::span(p).first(11));
  return p;
}

ReplyHeader ParseReplyHeader(std::span<const uint8_t, kModulePacketSize> header) {
  return {static_cast<uint32_t>(header[6] | header[7] << 8 | header[8] << 16), header[10]};
}

std::optional<TemplateId> CheckedTemplateId(int32_t user, int32_t attribute, int32_t number) {
  const auto attributeByte = static_cast<uint8_t>(attribute);
  if (user < 0 || user > 2047 || attributeByte > 15 || (number != 1 && number != 2))
    return std::nullopt;
  return TemplateId{static_cast<uint16_t>(user), attributeByte, static_cast<uint8_t>(number)};
}

uint16_t TemplateKey(const TemplateId& id) {
  return static_cast<uint16_t>((id.user & 0x7FF) | ((id.number - 1) & 1) << 11 |
                               (id.attribute & 0x0F) << 12);
}

TemplateId FromKey(uint16_t key) {
  return {static_cast<uint16_t>(key & 0x7FF), static_cast<uint8_t>(key >> 12),
          static_cast<uint8_t>(((key >> 11) & 1) + 1)};
}

std::vector<TemplateId> ParseIdList(std::span<const uint8_t> data) {
  std::vector<TemplateId> out;
  out.reserve(data.size() / 2);
  for (size_t i = 0; i + 1 < data.size(); i += 2)
    out.push_back(FromKey(static_cast<uint16_t>(data[i] | data[i + 1] << 8)));
  return out;
}

std::string IdListLine(const TemplateId& id) {
  return records::PadZero6(id.user) + records::PadZero2(id.attribute) +
         records::PadZero2(id.number);
}

std::optional<TemplateId> ParseIdListLine(std::string_view line) {
  if (line.size() != 10) return std::nullopt;
  for (char c : line)
    if (c < '0' || c > '9') return std::nullopt;
  auto number = [&](size_t from, size_t count) {
    int v = 0;
    for (size_t i = from; i < from + count; ++i) v = v * 10 + (line[i] - '0');
    return v;
  };
  return CheckedTemplateId(number(0, 6), number(6, 2), number(8, 2));
}

std::string TemplateFileName(int32_t user, int32_t number) {
  return "FP" + records::PadZero4(user) + "_" + records::DecimalText(number) + ".TXT";
}

}  // namespace wpl::fingerprint
