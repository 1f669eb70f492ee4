// Searching the text a test collected (logs, pages, exposition text).
#pragma once
#include <cstddef>
#include <string_view>

namespace wpl::testing {

// How often `what` occurs in `text`, overlapping occurrences counted.
inline size_t Occurrences(std::string_view text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace wpl::testing
