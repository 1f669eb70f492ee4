// The small formatting operations shared by the record conversions, the name
// table and the fingerprint files: zero-padded decimals and date stamps.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/clock.h"

namespace wpl::records {

// The decimal digits of `value` with leading zeros up to `width` characters; a
// value with more digits comes back whole. A negative value keeps its sign in
// front of the zeros.
std::string PadZero(int64_t value, int width);
inline std::string PadZero2(int64_t value) { return PadZero(value, 2); }
inline std::string PadZero3(int64_t value) { return PadZero(value, 3); }
inline std::string PadZero4(int64_t value) { return PadZero(value, 4); }
inline std::string PadZero6(int64_t value) { return PadZero(value, 6); }
inline std::string PadZero10(int64_t value) { return PadZero(value, 10); }
// The plain decimal digits, no padding ("-1" for -1).
std::string DecimalText(int64_t value);

// MMDDhhmmss: month, day, hour, minute and second, two digits each, no year.
// The caller takes the time from env.clock->Local() when the stamp is due.
std::string StampMonthDayTime(const LocalTime& t);
// MMDD of the date.
std::string StampMonthDay(const LocalTime& t);

// Fixed-width digit writers for the hot loop of the record conversion: they
// write exactly the width given and never allocate. The caller guarantees the
// range (below 100 for Put2, below 10000 for Put4).
namespace digits {

inline constexpr std::array<char, 200> kPairs = [] {
  std::array<char, 200> t{};
  for (int i = 0; i < 100; ++i) {
    t[2 * i] = static_cast<char>('0' + i / 10);
    t[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return t;
}();

inline void Put2(char* p, uint32_t v) { std::memcpy(p, &kPairs[2 * v], 2); }
inline void Put4(char* p, uint32_t v) {
  Put2(p, v / 100);
  Put2(p + 2, v % 100);
}

}  // namespace digits

}  // namespace wpl::records
