// The SN queries: a command frame, a request, and the terminal's 8-byte value
// reply instead of a plain ACK. They run as settings (RunSerialSetting); the
// value read is the result's value.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "settings/settings.h"

namespace wpl::settings {

// _WHATSN (the value the terminal files under an SN number) and _GETSNLENTH
// (its SN length: the 0x15 alone asks), from their rows.
inline constexpr auto kValueQueries =
    settings_detail::AgreeWithRows(settings_detail::Gathered<settings_detail::Kind::kValueQuery>());

consteval const Setting& ValueQueryRow(std::string_view name) {
  for (const Setting& s : kValueQueries)
    if (s.name == name) return s;
  throw std::invalid_argument("no value query of that name");
}

}  // namespace wpl::settings
