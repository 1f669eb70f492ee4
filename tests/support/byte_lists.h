// Building expected byte sequences in tests: runs of one byte, joined.
#pragma once
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace wpl::testing {

inline std::vector<uint8_t> Repeat(uint8_t b, size_t n) { return std::vector<uint8_t>(n, b); }

inline std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// "01 36 02": bytes as the protocol's examples write them.
inline std::string Hex(std::span<const uint8_t> bytes) {
  std::string out;
  for (uint8_t b : bytes) {
    char h[4];
    std::snprintf(h, sizeof h, "%s%02X", out.empty() ? "" : " ", b);
    out += h;
  }
  return out;
}

}  // namespace wpl::testing
