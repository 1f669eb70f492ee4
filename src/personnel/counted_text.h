// The counted text of the host language: the pointer the host passes points
// at the first character; the 32-bit length lies in the 4 bytes before it and
// a 32-bit reference count in the 4 bytes before those. A call holds a
// reference for as long as it runs: the count goes up on entry and down
// again before the call returns, on every path, unless it is -1 (a constant
// text, which nobody counts). The host passes an empty text as a null
// pointer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace wpl::personnel {

class CountedText {
 public:
  explicit CountedText(const char* text);
  ~CountedText();
  CountedText(const CountedText&) = delete;
  CountedText& operator=(const CountedText&) = delete;

  // The stored length; negative when the host's length field is.
  int64_t length() const { return length_; }
  // Whether the stored length is one the caller can take (0..limit).
  bool Fits(size_t limit) const { return length_ >= 0 && static_cast<size_t>(length_) <= limit; }
  // The characters of the stored length (none for a negative one). Callers
  // check its length before reading them: the stored length is the host's word.
  std::span<const uint8_t> bytes() const;
  // The characters up to the first zero byte, looking at no more than
  // `limit` of them and never past the stored length.
  std::span<const uint8_t> UpToZero(size_t limit) const;

 private:
  const uint8_t* text_;
  int32_t* count_ = nullptr;  // null: not counted (null text, or constant)
  int64_t length_ = 0;
};

}  // namespace wpl::personnel
