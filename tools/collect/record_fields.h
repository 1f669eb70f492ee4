// What the store keeps of a record besides its six bytes: the person, the
// local time with the real year, and the tag.
//
// The record holds the year as four bits (2000 to 2015). The real year is the
// latest year with the same remainder modulo 16 whose date is not after the
// day of the download: a record of 4 March read on 9 December 2026 is of
// 2026; one of 24 December read that day is of 2010.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace collect {

using Raw = std::array<uint8_t, 6>;

struct Day {
  int year = 2000, month = 1, day = 1;
};

struct RecordFields {
  int person = 0;
  std::optional<std::string> time;  // "2026-03-04T08:15:00"; none for impossible fields
  int tag = 0;
};

// The real year of a record whose year field is `yearField` (the library's
// decoding, 2000..2015), dated month/day, downloaded on `downloaded`.
int RealYear(int yearField, int month, int day, const Day& downloaded);
RecordFields DecodeFields(const Raw& raw, const Day& downloaded);

std::string RawHex(const Raw& raw);
std::optional<Raw> RawFromHex(const std::string& hex);

// Calendar helpers on unix seconds: the day in a zone ("" = the host's), and
// ISO 8601 UTC text.
Day LocalDay(int64_t unixSeconds, const std::string& zone);
// Local wall time in a zone as unix seconds read as if UTC (for comparing a
// terminal's clock with the host's).
int64_t LocalWallSeconds(int64_t unixSeconds, const std::string& zone);
std::string UtcText(int64_t unixSeconds);
std::string DayText(const Day& d);
int64_t NowUtc();

}  // namespace collect
