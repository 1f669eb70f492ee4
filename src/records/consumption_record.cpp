#include "records/consumption_record.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace wpl::records {
namespace {

// At least `width` digits, zero-padded.
char* PutPadded(char* p, uint32_t value, int width) {
  char buf[10];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  const int n = static_cast<int>(end - buf);
  for (int i = n; i < width; ++i) *p++ = '0';
  return std::copy(buf, end, p);
}

}  // namespace

size_t FormatConsumptionText(const ConsumptionRecord& r, char* out) {
  char* p = PutPadded(out, r.type, 1);
  *p++ = ' ';
  p = PutPadded(p, r.card, 10);
  *p++ = ' ';
  p = PutPadded(p, r.PrintedCount(), 3);
  *p++ = ' ';
  *p++ = r.Sign();
  p = PutPadded(p, r.Value(), 6);
  *p++ = ' ';
  p = PutPadded(p, 2000u + r.year, 4);
  p = PutPadded(p, r.month, 2);
  p = PutPadded(p, r.day, 2);
  *p++ = ' ';
  p = PutPadded(p, r.hour, 2);
  *p++ = ':';
  p = PutPadded(p, r.minute, 2);
  *p++ = ':';
  p = PutPadded(p, r.second, 2);
  *p++ = ' ';
  p = PutPadded(p, r.Device(), 3);
  return static_cast<size_t>(p - out);
}

std::string ConsumptionText(const ConsumptionRecord& r) {
  char text[kConsumptionTextMax];
  return std::string(text, FormatConsumptionText(r, text));
}

void FormatConsumptionLine(const ConsumptionRecord& r, char* out) {
  char text[kConsumptionTextMax];
  const size_t n = std::min(FormatConsumptionText(r, text), kConsumptionLineChars);
  std::memcpy(out, text, n);
  std::memset(out + n, 0, kConsumptionLineChars - n);
}

}  // namespace wpl::records
