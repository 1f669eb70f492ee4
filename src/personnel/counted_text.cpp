#include "personnel/counted_text.h"

#include <atomic>
#include <cstring>

namespace wpl::personnel {
namespace {

// The host raises and lowers its counts with locked instructions: so do we,
// where the count is aligned as the host's allocator aligns it.
void AddToCount(int32_t* count, int32_t delta) {
  if (reinterpret_cast<uintptr_t>(count) % std::atomic_ref<int32_t>::required_alignment == 0)
    std::atomic_ref<int32_t>(*count).fetch_add(delta);
  else
    *count += delta;
}

}  // namespace

CountedText::CountedText(const char* text) : text_(reinterpret_cast<const uint8_t*>(text)) {
  if (!text_) return;
  int32_t length = 0;
  std::memcpy(&length, text_ - 4, sizeof length);
  length_ = length;
  auto* count = reinterpret_cast<int32_t*>(const_cast<uint8_t*>(text_) - 8);
  int32_t value = 0;
  std::memcpy(&value, count, sizeof value);
  if (value == -1) return;
  count_ = count;
  AddToCount(count_, 1);
}

CountedText::~CountedText() {
  if (count_) AddToCount(count_, -1);
}

std::span<const uint8_t> CountedText::bytes() const {
  if (!text_ || length_ <= 0) return {};
  return {text_, static_cast<size_t>(length_)};
}

std::span<const uint8_t> CountedText::UpToZero(size_t limit) const {
  if (!text_ || length_ <= 0) return {};
  const size_t look = std::min(limit, static_cast<size_t>(length_));
  const void* zero = std::memchr(text_, 0, look);
  const size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - text_) : look;
  return {text_, n};
}

}  // namespace wpl::personnel
