// The 17-byte consumption record (numbers high byte first) and its 47-byte
// text line.
//
//   0 year - 2000   1 month   2 day   3 hour   4 minute   5 second
//   6 record type (4)   7-10 card number
//   11 flag: bit 7 selects the value form, the rest 0x2B ('+') gives the sign +
//   12 value bits 23-16, or the count when bit 7 of the flag is set
//   13-14 value, low 16 bits
//   15 device number, or 0xFF when it is in byte 16
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace wpl::records {

inline constexpr size_t kConsumptionSize = 17;
// The line as stored: its characters cut or padded with a zero byte to 47
// bytes, then CR LF. The fixed length is what readers of the file rely on.
inline constexpr size_t kConsumptionLineChars = 47;
inline constexpr size_t kConsumptionLineBytes = kConsumptionLineChars + 2;
// Longest text any 17 bytes can give (every field at its widest).
inline constexpr size_t kConsumptionTextMax = 64;

struct ConsumptionRecord {
  uint8_t year = 0;  // years since 2000
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
  uint8_t type = 0;
  uint32_t card = 0;
  uint8_t flag = 0;
  uint8_t high = 0;    // byte 12
  uint16_t low16 = 0;  // bytes 13-14
  uint8_t device15 = 0, device16 = 0;

  bool CountForm() const { return flag >= 0x80; }
  // 24-bit value, or the low 16 bits times the count.
  uint32_t Value() const {
    return CountForm() ? uint32_t{low16} * high : uint32_t{high} << 16 | low16;
  }
  // Printed only when the flag is above 0x80; 0x80 itself prints 000.
  uint32_t PrintedCount() const { return flag > 0x80 ? high : 0; }
  char Sign() const { return (flag > 0x80 ? flag - 0x80 : flag) == 0x2B ? '+' : '-'; }
  uint8_t Device() const { return device15 == 0xFF ? device16 : device15; }
};

inline ConsumptionRecord DecodeConsumption(const uint8_t* b) {
  ConsumptionRecord r;
  r.year = b[0];
  r.month = b[1];
  r.day = b[2];
  r.hour = b[3];
  r.minute = b[4];
  r.second = b[5];
  r.type = b[6];
  r.card = uint32_t{b[7]} << 24 | uint32_t{b[8]} << 16 | uint32_t{b[9]} << 8 | b[10];
  r.flag = b[11];
  r.high = b[12];
  r.low16 = static_cast<uint16_t>(b[13] << 8 | b[14]);
  r.device15 = b[15];
  r.device16 = b[16];
  return r;
}

// The first field that makes the record invalid, or nullptr. Hour 24 and
// minute or second 60 are accepted as the terminals write them.
inline const char* InvalidField(const ConsumptionRecord& r) {
  if (r.year < 1 || r.year > 14) return "year";
  if (r.month < 1 || r.month > 12) return "month";
  if (r.day < 1 || r.day > 31) return "day";
  if (r.hour > 24) return "hour";
  if (r.minute > 60) return "minute";
  if (r.second > 60) return "second";
  if (r.type != 4) return "record type";
  if (r.card == 0) return "card number";
  return nullptr;
}
inline bool IsValid(const ConsumptionRecord& r) { return InvalidField(r) == nullptr; }

// Writes the text, 46 characters for a valid record with a value below
// 1000000, e.g. "4 0000012345 003 +000150 20090515 08:30:00 007", and returns
// its length; `out` holds kConsumptionTextMax characters. Card numbers are
// unsigned, 10 digits. A value of 7 or 8 digits lengthens the text.
size_t FormatConsumptionText(const ConsumptionRecord& r, char* out);
std::string ConsumptionText(const ConsumptionRecord& r);

// Writes the 47 stored bytes (no CR LF): the text and a zero byte, cut to 47
// bytes when the value's extra digits lengthen it.
void FormatConsumptionLine(const ConsumptionRecord& r, char* out);

}  // namespace wpl::records
