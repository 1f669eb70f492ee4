// Reading and writing whole files in tests.
#pragma once
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace wpl::testing {

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  const std::string s = ReadFile(path);
  return {s.begin(), s.end()};
}

}  // namespace wpl::testing
