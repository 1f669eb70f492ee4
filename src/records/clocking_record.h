// The 6-byte clocking record a terminal stores and sends, and the text forms
// it takes: the 21-character line of the text files and the real-time text.
//
//   byte 0-1  person number, high byte first
//   byte 2    year - 2000 (high nibble), month (low nibble)
//   byte 3    bit 7: tag + 60, bit 6: tag + 30, bits 5-0: day
//   byte 4    tag bits 4-2 (bits 7-5), hour (bits 4-0)
//   byte 5    tag bits 1-0 (bits 7-6), minute (bits 5-0)
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "records/format.h"

namespace wpl::records {

inline constexpr size_t kRecordSize = 6;
// The text line without its CR LF, and the line as written to the file.
inline constexpr size_t kLineChars = 21;
inline constexpr size_t kLineBytes = kLineChars + 2;

// How the two flag bits of byte 3 raise the tag. The file conversions let
// bit 7 win (60, else 30); the per-terminal conversion and the real-time
// fetch add both (up to 90).
enum class TagRule { kSixtyElseThirty, kIndependent };

// The fields as they decode, whatever the bytes hold.
struct ClockingRecord {
  uint16_t number = 0;
  uint16_t year = 2000;  // 2000..2015
  uint8_t month = 0;     // 0..15
  uint8_t day = 0;       // 0..63
  uint8_t hour = 0;      // 0..31
  uint8_t minute = 0;    // 0..63
  uint8_t tagBits = 0;   // 0..31, the five tag bits of bytes 4 and 5
  bool plus60 = false;   // byte 3, bit 7
  bool plus30 = false;   // byte 3, bit 6
};

inline ClockingRecord DecodeRecord(const uint8_t* b) {
  ClockingRecord r;
  r.number = static_cast<uint16_t>(b[0] << 8 | b[1]);
  r.year = static_cast<uint16_t>(2000 + (b[2] >> 4));
  r.month = b[2] & 0x0F;
  r.plus60 = (b[3] & 0x80) != 0;
  r.plus30 = (b[3] & 0x40) != 0;
  r.day = b[3] & 0x3F;
  r.hour = b[4] & 0x1F;
  r.minute = b[5] & 0x3F;
  r.tagBits = static_cast<uint8_t>((b[4] >> 5) << 2 | b[5] >> 6);
  return r;
}
inline ClockingRecord DecodeRecord(std::span<const uint8_t, kRecordSize> b) {
  return DecodeRecord(b.data());
}

// The first field that makes the record invalid ("year", "month", "day",
// "hour", "minute"), or nullptr for a valid record. Terminals count years
// from 2005, so an earlier year marks bytes that are not a record.
inline const char* InvalidField(const ClockingRecord& r) {
  if (r.year < 2005) return "year";
  if (r.month < 1 || r.month > 12) return "month";
  if (r.day < 1 || r.day > 31) return "day";
  if (r.hour > 23) return "hour";
  if (r.minute > 59) return "minute";
  return nullptr;
}
// The same rule as one test without branches: it runs for every byte
// position of a record file.
inline bool IsValid(const ClockingRecord& r) {
  const unsigned bad =
      (r.year < 2005) | (r.month - 1u > 11u) | (r.day - 1u > 30u) | (r.hour > 23) | (r.minute > 59);
  return bad == 0;
}

inline int Tag(const ClockingRecord& r, TagRule rule) {
  // What the flags add, by rule and by the flag pair (bit 7, bit 6).
  static constexpr uint8_t kAdded[2][4] = {{0, 30, 60, 60}, {0, 30, 60, 90}};
  return r.tagBits + kAdded[rule == TagRule::kIndependent][r.plus60 * 2 + r.plus30];
}

// Writes the 21 characters of the text line (no CR LF):
//   number(6) hour(2) ':' minute(2) year(4) month(2) day(2) tag(2)
// e.g. "00025808:302009051535". The line has room for a 2-digit tag; the
// tags 100 to 121 that only the independent rule can give keep their first
// two digits, so that every line stays 21 characters and the text file keeps
// its fixed record length.
inline void FormatRecordLine(const ClockingRecord& r, TagRule rule, char* out) {
  // Every field but the number is below 100 by its bit width.
  out[0] = '0';
  out[1] = static_cast<char>('0' + r.number / 10000);
  digits::Put4(out + 2, r.number % 10000u);
  digits::Put2(out + 6, r.hour);
  out[8] = ':';
  digits::Put2(out + 9, r.minute);
  out[11] = '2';
  out[12] = '0';
  digits::Put2(out + 13, r.year - 2000u);
  digits::Put2(out + 15, r.month);
  digits::Put2(out + 17, r.day);
  const int tag = Tag(r, rule);
  digits::Put2(out + 19, static_cast<uint32_t>(tag < 100 ? tag : tag / 10));
}
std::string RecordLine(const ClockingRecord& r, TagRule rule);

// The real-time fetch's text: number(6) year(4) month(2) day(2) hour(2)
// minute(2) tag, with the independent tag rule and no validity test. 20
// characters, 21 when the tag reaches 100.
std::string FetchText(const ClockingRecord& r);

}  // namespace wpl::records
