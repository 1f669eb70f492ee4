// The SN queries: a command frame, a request, and the terminal's 8-byte value
// reply instead of a plain ACK. They are settings in all but their result:
// the value read, or 65535 for any failure. (A value of 65535 the terminal
// holds cannot be told from a failure; the queries keep that limit.)
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

const Setting* FindValueQuery(std::string_view name);

consteval const Setting& ValueQueryRow(std::string_view name) {
  for (const Setting& s : kValueQueries)
    if (s.name == name) return s;
  throw std::invalid_argument("no value query of that name");
}

// The value, or 65535.
int32_t RunValueQuery(Env& env, const Setting& query, int32_t address, int32_t port,
                      std::span<const int32_t> values);

}  // namespace wpl::settings
