// What a fingerprint template export adds to the row of its conversation:
// once the terminal has handed its line over to its fingerprint module (the
// pass-through block AA 55), the module command sent on the line reopened at
// 9600, and the pauses and silence limits of that exchange.
#pragma once
#include <cstdint>
#include <optional>

#include "platform/clock.h"

namespace wpl::link {

// Module command codes the library uses.
namespace module_cmd {
constexpr uint8_t kVersion = 0x05;
constexpr uint8_t kDeleteOne = 0x54;
constexpr uint8_t kSendTemplate = 0x71;
constexpr uint8_t kGetTemplate = 0x73;
constexpr uint8_t kDeleteAll = 0x76;
constexpr uint8_t kIdList = 0x7D;
}  // namespace module_cmd

// A row without a module command is no template export.
struct ModulePart {
  uint8_t command = 0;
  Millis secondPause{0};         // after the port is closed, before the module link opens
  std::optional<Millis> header;  // silence limit; none: no header is read
  std::optional<Millis> data;    // silence limit; none: no data part is read
  Millis marker{0};              // silence limit for the closing marker
};

}  // namespace wpl::link
