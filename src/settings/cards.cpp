#include "settings/cards.h"

namespace wpl::settings {

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

}  // namespace wpl::settings
