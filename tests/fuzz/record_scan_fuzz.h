// Shared body of the record-scan fuzz targets: the buffered scan, with chunk
// and read sizes taken from the input, must give exactly what a plain
// position-by-position scan over the whole input gives.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "memory_file.h"
#include "records/record_scan.h"

namespace wpl::fuzz {

// `line(record)` is the stored line of a valid record (CR LF included), or
// nothing; `convert(in, out, chunk)` runs the buffered scan.
template <size_t N, class Line, class Convert>
int CheckScan(const uint8_t* data, size_t size, Line line, Convert convert) {
  if (size < 2) return 0;
  const size_t chunk = 1 + data[0] % 64;
  const size_t maxRead = 1 + data[1] % 32;
  std::vector<uint8_t> file(data + 2, data + size);

  std::string want;
  size_t lines = 0;
  for (size_t pos = 0; pos + N <= file.size();) {
    if (auto l = line(file.data() + pos)) {
      want += *l;
      ++lines;
      pos += N;
    } else {
      ++pos;
    }
  }

  testing::MemoryFile in(file), out;
  in.maxRead = maxRead;
  const records::ScanOutcome got = convert(in, out, chunk);
  if (!got.ok() || got.lines != lines || std::string(out.data.begin(), out.data.end()) != want ||
      (lines == 0 && got.firstKey != "00"))
    std::abort();
  return 0;
}

}  // namespace wpl::fuzz
