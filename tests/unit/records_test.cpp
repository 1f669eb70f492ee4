// Record layouts, text lines, formatting helpers and the streaming scan.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "memory_file.h"
#include "records/clocking_record.h"
#include "records/consumption_record.h"
#include "records/format.h"
#include "records/record_scan.h"

namespace wpl::records {
namespace {

using testing::MemoryFile;
using Bytes = std::vector<uint8_t>;

const Bytes kExample = {0x01, 0x02, 0x95, 0x4F, 0x28, 0x5E};

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct Converted {
  ScanOutcome outcome;
  std::string text;
};

Converted ConvertClocking(const Bytes& in, TagRule rule = TagRule::kSixtyElseThirty,
                          size_t chunk = kScanChunk) {
  MemoryFile src(in), dst;
  auto outcome = ConvertClockingRecords(src, dst, rule, chunk);
  return {outcome, Text(dst.data)};
}

Converted ConvertConsumption(const Bytes& in, size_t chunk = kScanChunk) {
  MemoryFile src(in), dst;
  auto outcome = ConvertConsumptionRecords(src, dst, chunk);
  return {outcome, Text(dst.data)};
}

TEST(Format, PadZeroAndDecimal) {
  struct Case {
    std::string got, want;
  };
  for (const Case& c : {
           Case{PadZero2(5), "05"},
           Case{PadZero2(123), "123"},
           Case{PadZero3(7), "007"},
           Case{PadZero4(2009), "2009"},
           Case{PadZero6(65535), "065535"},
           Case{PadZero6(1234567), "1234567"},
           Case{PadZero10(4294967295), "4294967295"},
           Case{PadZero10(12345), "0000012345"},
           Case{PadZero3(-5), "-05"},
           Case{DecimalText(0), "0"},
           Case{DecimalText(-1), "-1"},
           Case{DecimalText(12), "12"},
           Case{StampMonthDayTime({2009, 5, 17, 14, 3, 9}), "0517140309"},
           Case{StampMonthDayTime({2026, 12, 31, 23, 59, 59}), "1231235959"},
           Case{StampMonthDay({2026, 1, 2, 3, 4, 5}), "0102"},
       }) {
    EXPECT_EQ(c.got, c.want);
  }
}

TEST(ClockingRecord, ExampleDecodesAndFormats) {
  const ClockingRecord r = DecodeRecord(kExample.data());
  EXPECT_EQ(r.number, 258);
  EXPECT_EQ(r.year, 2009);
  EXPECT_EQ(r.month, 5);
  EXPECT_EQ(r.day, 15);
  EXPECT_EQ(r.hour, 8);
  EXPECT_EQ(r.minute, 30);
  EXPECT_EQ(Tag(r, TagRule::kSixtyElseThirty), 35);
  EXPECT_TRUE(IsValid(r));
  EXPECT_EQ(RecordLine(r, TagRule::kSixtyElseThirty), "00025808:302009051535");
}

TEST(ClockingRecord, FieldsAndTagRules) {
  struct Case {
    Bytes bytes;
    TagRule rule;
    std::string line;
  };
  const auto kFirst = TagRule::kSixtyElseThirty;
  const auto kBoth = TagRule::kIndependent;
  for (const Case& c : {
           Case{{0xFF, 0xFF, 0x95, 0x0F, 0x28, 0x1E}, kFirst, "06553508:302009051504"},
           Case{{0x00, 0x07, 0x95, 0x0F, 0x28, 0x1E}, kFirst, "00000708:302009051504"},
           // Bit 7 wins over bit 6 in the file conversions; both add up in the
           // per-terminal conversion.
           Case{{0x01, 0x02, 0x95, 0xCF, 0x28, 0x5E}, kFirst, "00025808:302009051565"},
           Case{{0x01, 0x02, 0x95, 0xCF, 0x28, 0x5E}, kBoth, "00025808:302009051595"},
           Case{{0x01, 0x02, 0x95, 0x8F, 0x28, 0x5E}, kBoth, "00025808:302009051565"},
           // Highest tag bits: 31 + 60 = 91; independently 121, kept to two
           // digits so the line stays 21 characters.
           Case{{0x00, 0x01, 0xFC, 0x9F, 0xF7, 0xFB}, kFirst, "00000123:592015123191"},
           Case{{0x00, 0x01, 0xFC, 0xDF, 0xF7, 0xFB}, kBoth, "00000123:592015123112"},
           // Boundaries that are still valid: 2005, hour 0, minute 0.
           Case{{0x00, 0x00, 0x51, 0x01, 0x00, 0x00}, kFirst, "00000000:002005010100"},
       }) {
    const ClockingRecord r = DecodeRecord(c.bytes.data());
    EXPECT_TRUE(IsValid(r)) << c.line;
    EXPECT_EQ(RecordLine(r, c.rule), c.line);
  }
}

TEST(ClockingRecord, EachInvalidFieldIsNamed) {
  struct Case {
    uint8_t b2, b3, b4, b5;
    const char* field;
  };
  // From the valid 2009-05-15 08:30 with one field out of range.
  for (const Case& c :
       {Case{0x45, 0x0F, 0x08, 0x1E, "year"}, Case{0x05, 0x0F, 0x08, 0x1E, "year"},
        Case{0x90, 0x0F, 0x08, 0x1E, "month"}, Case{0x9D, 0x0F, 0x08, 0x1E, "month"},
        Case{0x9F, 0x0F, 0x08, 0x1E, "month"}, Case{0x95, 0x00, 0x08, 0x1E, "day"},
        Case{0x95, 0x20, 0x08, 0x1E, "day"}, Case{0x95, 0x3F, 0x08, 0x1E, "day"},
        Case{0x95, 0x0F, 0x18, 0x1E, "hour"}, Case{0x95, 0x0F, 0x1F, 0x1E, "hour"},
        Case{0x95, 0x0F, 0x08, 0x3C, "minute"}, Case{0x95, 0x0F, 0x08, 0x3F, "minute"}}) {
    const Bytes rec = {0x00, 0x01, c.b2, c.b3, c.b4, c.b5};
    const char* field = InvalidField(DecodeRecord(rec.data()));
    ASSERT_NE(field, nullptr) << c.field;
    EXPECT_STREQ(field, c.field);
    EXPECT_EQ(ConvertClocking(rec).text, "") << c.field;
  }
}

TEST(ClockingRecord, FetchTextAddsBothFlags) {
  Bytes both = kExample;
  both[3] = 0xCF;
  EXPECT_EQ(FetchText(DecodeRecord(kExample.data())), "00025820090515083035");
  EXPECT_EQ(FetchText(DecodeRecord(both.data())), "00025820090515083095");
  // No validity test, and a tag of 100 or more takes a third digit.
  EXPECT_EQ(FetchText(DecodeRecord(Bytes{0, 0, 0x00, 0xFF, 0xFF, 0xFF}.data())),
            "000000200000633163121");
}

TEST(ClockingScan, ResynchronisesAndIgnoresTail) {
  const Bytes second = {0x00, 0x07, 0x95, 0x4F, 0x28, 0x5E};
  struct Case {
    Bytes file;
    std::string text, firstKey;
  };
  const std::string l1 = "00025808:302009051535\r\n", l2 = "00000708:302009051535\r\n";
  for (const Case& c : {
           Case{{}, "", "00"},
           Case{kExample, l1, "35"},
           // A stray byte in front: 13 bytes give exactly the two records.
           Case{Concat({{0x07}, kExample, second}), l1 + l2, "35"},
           Case{Concat({kExample, {0xEE, 0xEE, 0xEE}, second}), l1 + l2, "35"},
           Case{Concat({kExample, {0x01, 0x02, 0x95, 0x4F, 0x28}}), l1, "35"},
           Case{{0x01, 0x02, 0x95, 0x4F, 0x28}, "", "00"},
           Case{Bytes(600, 0x00), "", "00"},
       }) {
    const auto got = ConvertClocking(c.file);
    EXPECT_TRUE(got.outcome.ok());
    EXPECT_EQ(got.text, c.text);
    EXPECT_EQ(got.outcome.firstKey, c.firstKey);
    EXPECT_EQ(got.outcome.lines, c.text.size() / kLineBytes);
  }
}

// A position-by-position scan over the whole buffer, to hold the buffered
// scan against.
std::string ReferenceClocking(const Bytes& in) {
  std::string text;
  size_t pos = 0;
  while (pos + kRecordSize <= in.size()) {
    const ClockingRecord r = DecodeRecord(in.data() + pos);
    if (!IsValid(r)) {
      ++pos;
      continue;
    }
    text += RecordLine(r, TagRule::kSixtyElseThirty) + "\r\n";
    pos += kRecordSize;
  }
  return text;
}

TEST(ClockingScan, SameTextForAnyChunkAndReadSize) {
  std::mt19937 rng(11);
  Bytes file;
  for (int i = 0; i < 3000; ++i) {
    Bytes rec = {static_cast<uint8_t>(rng()),
                 static_cast<uint8_t>(rng()),
                 static_cast<uint8_t>(0x50 + rng() % 0xA0),
                 static_cast<uint8_t>(rng()),
                 static_cast<uint8_t>(rng()),
                 static_cast<uint8_t>(rng())};
    file.insert(file.end(), rec.begin(), rec.end());
    if (rng() % 7 == 0) file.push_back(static_cast<uint8_t>(rng()));
  }
  const std::string want = ReferenceClocking(file);
  ASSERT_GT(want.size(), 1000 * kLineBytes);
  for (size_t chunk : {size_t{1}, size_t{5}, size_t{6}, size_t{7}, size_t{4096}, kScanChunk}) {
    for (size_t maxRead : {size_t{1}, size_t{13}, SIZE_MAX}) {
      MemoryFile src(file), dst;
      src.maxRead = maxRead;
      const auto outcome = ConvertClockingRecords(src, dst, TagRule::kSixtyElseThirty, chunk);
      EXPECT_TRUE(outcome.ok());
      EXPECT_EQ(Text(dst.data), want) << "chunk " << chunk << " read " << maxRead;
    }
  }
}

TEST(ClockingScan, BuffersInsteadOfWritingPerRecord) {
  Bytes file;
  for (int i = 0; i < 10000; ++i) file.insert(file.end(), kExample.begin(), kExample.end());
  MemoryFile src(file), dst;
  EXPECT_TRUE(ConvertClockingRecords(src, dst, TagRule::kSixtyElseThirty).ok());
  EXPECT_EQ(dst.data.size(), 10000 * kLineBytes);
  EXPECT_LE(dst.writes, 2);
  EXPECT_LE(src.reads, 2);
}

TEST(ClockingScan, ReadAndWriteErrorsAreFailures) {
  Bytes file;
  for (int i = 0; i < 100; ++i) file.insert(file.end(), kExample.begin(), kExample.end());
  MemoryFile badRead(file), out1;
  badRead.failReadsFrom = 300;
  EXPECT_EQ(ConvertClockingRecords(badRead, out1, TagRule::kSixtyElseThirty, 64).status,
            ScanOutcome::Status::kReadError);
  MemoryFile in(file), badWrite;
  badWrite.failWrites = true;
  EXPECT_EQ(ConvertClockingRecords(in, badWrite, TagRule::kSixtyElseThirty).status,
            ScanOutcome::Status::kWriteError);
}

// The documented example record, and the count-form one.
const Bytes kConsumption = {0x09, 0x05, 0x0F, 0x08, 0x1E, 0x00, 0x04, 0x00, 0x00,
                            0x30, 0x39, 0x2D, 0x00, 0x00, 0x96, 0x01, 0x00};

Bytes WithBytes(Bytes rec, std::initializer_list<std::pair<int, uint8_t>> changes) {
  for (auto [at, value] : changes) rec[static_cast<size_t>(at)] = value;
  return rec;
}

std::string Line47(const Bytes& rec) {
  char line[kConsumptionLineChars];
  FormatConsumptionLine(DecodeConsumption(rec.data()), line);
  return std::string(line, sizeof line);
}

TEST(ConsumptionRecord, ValueFormsSignsAndDevices) {
  struct Case {
    std::initializer_list<std::pair<int, uint8_t>> changes;
    std::string text;
  };
  for (const Case& c : {
           Case{{}, "4 0000012345 000 -000150 20090515 08:30:00 001"},
           Case{{{11, 0xAB}, {12, 0x03}, {13, 0x00}, {14, 0x32}, {15, 0xFF}, {16, 0x07}},
                "4 0000012345 003 +000150 20090515 08:30:00 007"},
           // 0x80 exactly: multiplied value, but count 000 and sign '-'.
           Case{{{11, 0x80}, {12, 0x03}, {14, 0x32}},
                "4 0000012345 000 -000150 20090515 08:30:00 001"},
           // 0x2B: sign '+' and the 24-bit value.
           Case{{{11, 0x2B}, {12, 0x01}, {13, 0x00}, {14, 0x00}},
                "4 0000012345 000 +065536 20090515 08:30:00 001"},
           Case{{{3, 24}, {4, 60}, {5, 60}}, "4 0000012345 000 -000150 20090515 24:60:60 001"},
           Case{{{15, 0xFE}, {16, 0x09}}, "4 0000012345 000 -000150 20090515 08:30:00 254"},
           // Card numbers from 2^31 up print unsigned.
           Case{{{7, 0x80}, {8, 0x00}, {9, 0x00}, {10, 0x00}},
                "4 2147483648 000 -000150 20090515 08:30:00 001"},
           Case{{{7, 0xFF}, {8, 0xFF}, {9, 0xFF}, {10, 0xFF}},
                "4 4294967295 000 -000150 20090515 08:30:00 001"},
       }) {
    const Bytes rec = WithBytes(kConsumption, c.changes);
    const ConsumptionRecord r = DecodeConsumption(rec.data());
    EXPECT_TRUE(IsValid(r)) << c.text;
    EXPECT_EQ(ConsumptionText(r), c.text);
    EXPECT_EQ(Line47(rec), c.text + '\0');
  }
}

TEST(ConsumptionRecord, LongValuesKeepTheFixedLength) {
  // 0x0F4240 = 1000000: 7 digits fill the zero byte's place.
  const Bytes seven = WithBytes(kConsumption, {{12, 0x0F}, {13, 0x42}, {14, 0x40}});
  EXPECT_EQ(Line47(seven), "4 0000012345 000 -1000000 20090515 08:30:00 001");
  // 65535 x 255 = 16711425: 8 digits, the last digit of the device is cut.
  const Bytes eight = WithBytes(kConsumption, {{11, 0xAB}, {12, 0xFF}, {13, 0xFF}, {14, 0xFF}});
  EXPECT_EQ(ConsumptionText(DecodeConsumption(eight.data())),
            "4 0000012345 255 +16711425 20090515 08:30:00 001");
  EXPECT_EQ(Line47(eight), "4 0000012345 255 +16711425 20090515 08:30:00 00");
  const auto got = ConvertConsumption(Concat({seven, eight}));
  EXPECT_EQ(got.text.size(), 2 * kConsumptionLineBytes);
}

TEST(ConsumptionRecord, InvalidFieldsAreSkipped) {
  struct Case {
    std::initializer_list<std::pair<int, uint8_t>> changes;
    const char* field;
  };
  for (const Case& c : {Case{{{0, 0}}, "year"}, Case{{{0, 15}}, "year"}, Case{{{1, 0}}, "month"},
                        Case{{{1, 13}}, "month"}, Case{{{2, 0}}, "day"}, Case{{{2, 32}}, "day"},
                        Case{{{3, 25}}, "hour"}, Case{{{4, 61}}, "minute"},
                        Case{{{5, 61}}, "second"}, Case{{{6, 3}}, "record type"},
                        Case{{{6, 5}}, "record type"}, Case{{{9, 0}, {10, 0}}, "card number"}}) {
    const Bytes rec = WithBytes(kConsumption, c.changes);
    const char* field = InvalidField(DecodeConsumption(rec.data()));
    ASSERT_NE(field, nullptr) << c.field;
    EXPECT_STREQ(field, c.field);
    EXPECT_EQ(ConvertConsumption(rec).text, "");
  }
}

TEST(ConsumptionScan, ResynchronisesAndKeysOnFirstDevice) {
  const Bytes second = WithBytes(kConsumption, {{15, 0xFF}, {16, 0x07}});
  const std::string l1 = Line47(kConsumption) + "\r\n", l2 = Line47(second) + "\r\n";
  struct Case {
    Bytes file;
    std::string text, firstKey;
  };
  for (const Case& c : {
           Case{{}, "", "00"},
           Case{Concat({{0x33}, second, kConsumption}), l2 + l1, "07"},
           Case{Concat({kConsumption, {1, 2, 3}, second, Bytes(16, 9)}), l1 + l2, "01"},
           Case{WithBytes(kConsumption, {{15, 0xC8}}),
                Line47(WithBytes(kConsumption, {{15, 0xC8}})) + "\r\n", "200"},
       }) {
    for (size_t chunk : {size_t{1}, size_t{16}, size_t{17}, kScanChunk}) {
      const auto got = ConvertConsumption(c.file, chunk);
      EXPECT_TRUE(got.outcome.ok());
      EXPECT_EQ(got.text, c.text) << "chunk " << chunk;
      EXPECT_EQ(got.outcome.firstKey, c.firstKey);
    }
  }
}

}  // namespace
}  // namespace wpl::records
