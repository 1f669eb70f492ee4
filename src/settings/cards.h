// The SN queries: a command frame, a request, and the terminal's 8-byte value
// reply instead of a plain ACK. They run as settings (RunSerialSetting); the
// value read is the result's value.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "settings/settings.h"

namespace wpl::settings {

// clang-format off
inline constexpr auto kValueQueries = settings_detail::Joined(std::to_array<Setting>({
    // The value the terminal files under an SN number.
    {.name = "_WHATSN", .values = 1, .payload = HighLow, .range = kNumber},
    // The terminal's SN length: the 0x15 alone asks.
    {.name = "_GETSNLENTH"},
}));
// clang-format on

consteval const Setting& ValueQueryRow(std::string_view name) {
  for (const Setting& s : kValueQueries)
    if (s.name == name) return s;
  throw std::invalid_argument("no value query of that name");
}

}  // namespace wpl::settings
