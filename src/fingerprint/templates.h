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

// The module side of each template export; the terminal side (command, ACK
// limit, first pause, second-ACK limit) is its row of the serial table.
struct TemplateExport {
  std::string_view name;
  uint8_t moduleCommand;
  Millis secondPause;            // after the port is closed, before the module link opens
  std::optional<Millis> header;  // silence limit; none: no header is read
  std::optional<Millis> data;    // silence limit; none: no data part is read
  Millis marker;                 // silence limit for the closing marker
  // The terminal side, filled in from `name`: a name with no row does not
  // compile.
  const link::SerialExport* serial = nullptr;
};

namespace template_detail {
using namespace std::chrono_literals;

template <size_t N>
consteval std::array<TemplateExport, N> Joined(std::array<TemplateExport, N> rows) {
  for (TemplateExport& row : rows) row.serial = &link::SerialRow(row.name);
  return rows;
}
}  // namespace template_detail

// clang-format off
inline constexpr auto kTemplateExports = [] {
  using namespace template_detail;
  return Joined(std::to_array<TemplateExport>({
      {.name = "_GETIDLIST", .moduleCommand = module_cmd::kIdList, .secondPause = 800ms,
       .header = 6s, .data = 3s, .marker = 6s},
      {.name = "_SENDIDFPREC", .moduleCommand = module_cmd::kSendTemplate, .secondPause = 1s,
       .header = 12s, .marker = 10s},
      {.name = "_GETIDFPREC", .moduleCommand = module_cmd::kGetTemplate, .secondPause = 800ms,
       .header = 6s, .data = 3s, .marker = 6s},
      {.name = "_DELIDFPREC", .moduleCommand = module_cmd::kDeleteOne, .secondPause = 800ms,
       .header = 6s, .data = 3s, .marker = 6s},
      {.name = "_DELIDFPALL", .moduleCommand = module_cmd::kDeleteAll, .secondPause = 800ms,
       .marker = 6s},
  }));
}();
// clang-format on

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
