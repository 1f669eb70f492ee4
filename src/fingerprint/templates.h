// Templates by user ID, through a terminal that hands its serial line over
// to its fingerprint module: the pass-through request (command 0x12 with
// the block AA 55), the line reopened at 9600 after a pause, one module
// exchange, and the terminal's closing marker. Files live in the FINGERREC
// folder of the data folder.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "fingerprint/module_packet.h"
#include "link/serial_exports.h"
#include "platform/env.h"

namespace wpl::fingerprint {

// A template export as the fingerprint code sees it: its row's module part,
// the export's name and the row it came from.
struct TemplateExport : link::ModulePart {
  std::string_view name;
  const link::SerialExport* serial = nullptr;
};

namespace template_detail {

consteval size_t Count() {
  size_t n = 0;
  for (const auto& row : link::kSerialExports) n += row.module.command != 0;
  return n;
}

// The rows with a module part, in the serial table's order. Each must hand
// the line over with the pass-through block and its ACK.
consteval std::array<TemplateExport, Count()> Gathered() {
  std::array<TemplateExport, Count()> out{};
  size_t n = 0;
  for (const auto& row : link::kSerialExports) {
    const link::ModulePart& m = row.module;
    if (m.command == 0) continue;
    if (row.block != link::BlockShape::kBytes || row.final != link::SerialFinal::kBlockAck)
      throw std::invalid_argument("a template export hands the line over with an acked block");
    static_cast<link::ModulePart&>(out[n]) = m;
    out[n].name = row.name;
    out[n++].serial = &row;
  }
  return out;
}

}  // namespace template_detail

inline constexpr auto kTemplateExports = template_detail::Gathered();

constexpr const TemplateExport& TemplateRow(std::string_view name) {
  for (const TemplateExport& row : kTemplateExports)
    if (row.name == name) return row;
  throw std::invalid_argument("no template export of that name");
}

inline constexpr char kFingerFolder[] = "FINGERREC";
inline constexpr char kIdListFile[] = "IDLIST.TXT";
inline constexpr char kCannotCreateIdList[] = "can not creat IDLIST.TXT!";
inline constexpr char kCannotCreateTemplate[] = "can not creat fingerp.TXT!";
inline constexpr char kCannotOpenTemplate[] = "can not open fingerp.TXT!";

// The folder with its trailing separator, and a file in it.
std::string FingerFolder(const Env& env);
std::string FingerPath(const Env& env, const std::string& name);

// Each returns the module's status byte, or nothing on failure (255 at the
// boundary). Arguments out of the key's range are refused before any file
// or port is touched.
std::optional<uint8_t> GetIdList(Env& env, int32_t address, int32_t port);
std::optional<uint8_t> GetTemplate(Env& env, int32_t address, int32_t port, int32_t user,
                                   int32_t attribute, int32_t number);
std::optional<uint8_t> SendTemplate(Env& env, int32_t address, int32_t port, int32_t user,
                                    int32_t number);
std::optional<uint8_t> DeleteTemplate(Env& env, int32_t address, int32_t port, int32_t user,
                                      int32_t attribute, int32_t number);
// 0 on success: no header is read, so the status is the request's own 0x00.
std::optional<uint8_t> DeleteAllTemplates(Env& env, int32_t address, int32_t port);

}  // namespace wpl::fingerprint
