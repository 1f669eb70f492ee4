// Writes that go out for their full count. A serial driver takes what it can
// within its write timeout and returns; at low speeds that is less than a
// block: with 5 ms + 5 ms a byte, 53 bytes at 1200 baud (8.3 ms a byte) are
// cut short. The rest is written again until the line has had the time it
// needs for all the bytes, plus a margin; whatever is still left then is a
// failed write.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/clock.h"

namespace wpl {

// The margin over the line time before a write is given up.
constexpr Millis kWriteMargin{100};

// The time the line needs for `bytes` bytes: a start bit, 8 data bits and
// the stop bits each. A speed of 0 (unknown) counts as no time.
constexpr Nanos LineTime(size_t bytes, uint32_t baud, int stopBits) {
  if (baud == 0) return Nanos{0};
  const uint64_t bits = uint64_t{bytes} * static_cast<uint64_t>(9 + stopBits);
  return Nanos{static_cast<int64_t>(bits * 1'000'000'000ull / baud)};
}

// Calls writeSome(rest) until every byte is taken, a call fails (returns a
// negative count), or `limit` has passed on `now` (a monotonic clock).
// writeSome returns the bytes it took, 0 when none went within its own short
// wait. Returns the bytes taken.
template <typename WriteSome, typename Now>
size_t WriteFully(std::span<const uint8_t> bytes, Nanos limit, WriteSome&& writeSome, Now&& now) {
  const Nanos start = now();
  size_t done = 0;
  while (done < bytes.size()) {
    const int64_t n = writeSome(bytes.subspan(done));
    if (n < 0) break;
    done += static_cast<size_t>(n);
    if (done < bytes.size() && now() - start > limit) break;
  }
  return done;
}

}  // namespace wpl
