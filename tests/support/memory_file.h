// A File over bytes in memory, for the conversion core in tests and fuzz
// targets: reads can be made short, and reads or writes made to fail.
#pragma once
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/files.h"

namespace wpl::testing {

class MemoryFile : public File {
 public:
  MemoryFile() = default;
  explicit MemoryFile(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}

  int64_t Read(std::span<uint8_t> out) override {
    if (failReadsFrom >= 0 && static_cast<int64_t>(pos_) >= failReadsFrom) return -1;
    const size_t n = std::min({out.size(), data.size() - pos_, maxRead});
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
    pos_ += n;
    ++reads;
    return static_cast<int64_t>(n);
  }
  bool Write(std::span<const uint8_t> bytes) override {
    if (failWrites) return false;
    data.insert(data.end(), bytes.begin(), bytes.end());
    ++writes;
    return true;
  }
  bool Seek(int64_t offset) override {
    if (offset < 0 || static_cast<size_t>(offset) > data.size()) return false;
    pos_ = static_cast<size_t>(offset);
    return true;
  }
  int64_t Size() override { return static_cast<int64_t>(data.size()); }

  std::vector<uint8_t> data;
  size_t maxRead = SIZE_MAX;   // longest piece one Read delivers
  int64_t failReadsFrom = -1;  // reads at or past this position fail
  bool failWrites = false;
  int reads = 0, writes = 0;

 private:
  size_t pos_ = 0;
};

}  // namespace wpl::testing
