// The fingerprint module's own packets, with no I/O: the 12-byte request
// (parameters low byte first, a sum of bytes 0 to 10), the 12-byte reply
// header with its 24-bit data length and status byte, the template key, the
// entries of the ID list and the names and lines of the template files.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/module_part.h"

namespace wpl::fingerprint {

constexpr size_t kModulePacketSize = 12;
// One request or reply header and the data part after it. The data part can
// hold no more than this: a reply announcing more is refused unread.
constexpr size_t kModuleBufferSize = 1604;
constexpr size_t kMaxModuleData = kModuleBufferSize - kModulePacketSize;
// A template the module takes back is exactly this long.
constexpr size_t kTemplateSize = 816;
// The module's line: 9600 baud, 8N1.
constexpr uint32_t kModuleBaud = 9600;

// Module command codes the library uses (with the template exports' rows).
namespace module_cmd = link::module_cmd;

// The marker the terminal sends when it takes its line back from the module.
constexpr std::array<uint8_t, 4> kClosingMarker = {0x06, 0x15, 0x06, 0x15};
// The parameter block payload that asks a terminal to hand its line over.
constexpr std::array<uint8_t, 2> kPassThroughPayload = {0xAA, 0x55};

using ModulePacket = std::array<uint8_t, kModulePacketSize>;
using ModuleParams = std::array<uint16_t, 4>;

// 00, command, the four parameters low byte first, 00, the sum of bytes 0-10.
ModulePacket BuildModulePacket(uint8_t command, const ModuleParams& params = {});

struct ReplyHeader {
  uint32_t dataLength = 0;  // bytes 6-8, byte 6 lowest; byte 9 takes no part
  uint8_t status = 0;       // byte 10
  bool Fits() const { return dataLength <= kMaxModuleData; }
};
// Reads the length and the status; the other bytes and the checksum are not
// examined (the module's reply is taken as it comes).
ReplyHeader ParseReplyHeader(std::span<const uint8_t, kModulePacketSize> header);

// A template by whom it belongs to: user ID 0-2047, attribute 0-15, template
// number 1 or 2.
struct TemplateId {
  uint16_t user = 0;
  uint8_t attribute = 0;
  uint8_t number = 1;
  friend auto operator<=>(const TemplateId&, const TemplateId&) = default;
};

// The host's arguments as a template ID; empty when any is out of range, as
// the 16-bit key would then name another template. The attribute argument
// counts by its low byte.
std::optional<TemplateId> CheckedTemplateId(int32_t user, int32_t attribute, int32_t number);

// The 16-bit key (low byte first on the wire): user ID bits 0-10, template
// number - 1 in bit 11, attribute in bits 12-15. The ID list entries use the
// same encoding.
uint16_t TemplateKey(const TemplateId& id);
TemplateId FromKey(uint16_t key);

// The entries of an ID list data part, 2 bytes each; an odd last byte is
// ignored.
std::vector<TemplateId> ParseIdList(std::span<const uint8_t> data);

// The list file line without its CR LF: user ID to 6 digits, attribute to 2,
// template number to 2 ("0000370002").
std::string IdListLine(const TemplateId& id);
// Parses a line of that form (10 digits, CR LF or LF stripped by the caller);
// empty when it is not one or names a template the key cannot hold.
std::optional<TemplateId> ParseIdListLine(std::string_view line);

// "FP" + user ID to 4 digits + "_" + template number + ".TXT".
std::string TemplateFileName(int32_t user, int32_t number);

}  // namespace wpl::fingerprint
