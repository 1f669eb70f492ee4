// Templates by user ID, through a terminal that hands its serial line over
// to its fingerprint module: the pass-through request (command 0x12 with
// the block AA 55), the line reopened at 9600 after a pause, one module
// exchange, and the terminal's closing marker. Files live in the FINGERREC
// folder of the data folder.
#pragma once
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
};

inline constexpr TemplateExport kTemplateExports[] = {
    {"_GETIDLIST", module_cmd::kIdList, Millis{800}, Millis{6000}, Millis{3000}, Millis{6000}},
    {"_SENDIDFPREC", module_cmd::kSendTemplate, Millis{1000}, Millis{12000}, std::nullopt,
     Millis{10000}},
    {"_GETIDFPREC", module_cmd::kGetTemplate, Millis{800}, Millis{6000}, Millis{3000},
     Millis{6000}},
    {"_DELIDFPREC", module_cmd::kDeleteOne, Millis{800}, Millis{6000}, Millis{3000}, Millis{6000}},
    {"_DELIDFPALL", module_cmd::kDeleteAll, Millis{800}, std::nullopt, std::nullopt, Millis{6000}},
};

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
