// The real year of a record and the text forms of its fields.
#include "record_fields.h"

#include <gtest/gtest.h>

namespace collect {
namespace {

struct YearCase {
  int field, month, day;
  Day downloaded;
  int year;
};

TEST(RecordFields, RealYearIsTheLatestNotAfterTheDownloadDay) {
  const YearCase cases[] = {
      {2010, 3, 4, {2026, 12, 9}, 2026},    // 2026 is stored as 2010
      {2010, 12, 9, {2026, 12, 9}, 2026},   // the download day itself
      {2010, 12, 10, {2026, 12, 9}, 2010},  // the day after: 16 years back
      {2011, 1, 1, {2026, 12, 9}, 2011},    // 2027 would be in the future
      {2009, 5, 15, {2026, 12, 9}, 2025},
      {2009, 5, 15, {2009, 5, 15}, 2009},
      {2015, 12, 31, {2016, 1, 1}, 2015},
      {2000, 1, 1, {2032, 1, 1}, 2032},  // a year field below 2005 is a year too
  };
  for (const YearCase& c : cases)
    EXPECT_EQ(RealYear(c.field, c.month, c.day, c.downloaded), c.year)
        << c.field << "-" << c.month << "-" << c.day;
}

TEST(RecordFields, DecodesWithTheFileConversionsTagRule) {
  const RecordFields f = DecodeFields({0x01, 0x02, 0x95, 0xCF, 0x28, 0x5E}, {2026, 1, 1});
  EXPECT_EQ(f.person, 258);
  EXPECT_EQ(f.time, "2025-05-15T08:30:00");
  EXPECT_EQ(f.tag, 65);  // both flags: 60 wins, as in pclog.txt
  EXPECT_EQ(DecodeFields({0, 1, 0x95, 0x4F, 0x38, 0x1E}, {2026, 1, 1}).time, std::nullopt);
}

TEST(RecordFields, HexBothWays) {
  const Raw raw{0x01, 0x02, 0x95, 0x4F, 0x28, 0x5E};
  EXPECT_EQ(RawHex(raw), "0102954f285e");
  EXPECT_EQ(RawFromHex("0102954F285E"), raw);
  EXPECT_EQ(RawFromHex("0102954f285"), std::nullopt);
  EXPECT_EQ(RawFromHex("0102954f285g"), std::nullopt);
}

TEST(RecordFields, DaysInZones) {
  // 2026-03-04 23:30 UTC is already the 5th in Berlin, still the 4th in New York.
  const int64_t t = 1772667000;
  EXPECT_EQ(UtcText(t), "2026-03-04T23:30:00Z");
  EXPECT_EQ(DayText(LocalDay(t, "UTC")), "2026-03-04");
  EXPECT_EQ(DayText(LocalDay(t, "Europe/Berlin")), "2026-03-05");
  EXPECT_EQ(DayText(LocalDay(t, "America/New_York")), "2026-03-04");
  EXPECT_EQ(LocalWallSeconds(t, "Europe/Berlin") - t, 3600);
}

}  // namespace
}  // namespace collect
