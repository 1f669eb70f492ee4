// Building expected byte sequences in tests: runs of one byte, joined.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace wpl::testing {

inline std::vector<uint8_t> Repeat(uint8_t b, size_t n) { return std::vector<uint8_t>(n, b); }

inline std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace wpl::testing
