#include "records/format.h"

#include <charconv>

namespace wpl::records {

std::string DecimalText(int64_t value) {
  char buf[24];
  auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  return std::string(buf, end);
}

std::string PadZero(int64_t value, int width) {
  std::string text = DecimalText(value);
  const size_t sign = value < 0 ? 1 : 0;
  if (width > 0 && text.size() < static_cast<size_t>(width))
    text.insert(sign, static_cast<size_t>(width) - text.size(), '0');
  return text;
}

std::string StampMonthDayTime(const LocalTime& t) {
  return PadZero2(t.month) + PadZero2(t.day) + PadZero2(t.hour) + PadZero2(t.minute) +
         PadZero2(t.second);
}

std::string StampMonthDay(const LocalTime& t) { return PadZero2(t.month) + PadZero2(t.day); }

}  // namespace wpl::records
