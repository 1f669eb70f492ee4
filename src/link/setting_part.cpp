#include "link/setting_part.h"

namespace wpl::link {

Payload LowBytes(std::span<const int32_t> values) {
  Payload out;
  for (int32_t v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

Payload HighLow(std::span<const int32_t> values) {
  const auto v = static_cast<uint32_t>(values[0]);
  return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

Payload OpenCloseFlag(std::span<const int32_t> values) {
  return {static_cast<uint8_t>(values[0] == 1 ? 0x55 : 0x00)};
}

Payload HighLowEach(std::span<const int32_t> values) {
  Payload out;
  for (int32_t v : values) {
    const Payload one = HighLow(std::span(&v, 1));
    out.insert(out.end(), one.begin(), one.end());
  }
  return out;
}

Payload LockNumber(std::span<const int32_t> values) {
  Payload out{0x01};
  const Payload number = HighLow(values);
  out.insert(out.end(), number.begin(), number.end());
  return out;
}

Payload ClearLockNumber(std::span<const int32_t>) { return {0x00}; }

}  // namespace wpl::link
