// The host's copy of the names it loaded: the day's name file, prefix +
// "NAM" + MMDD + ".DAT", of 10-byte records in the layout of the terminal's
// table (person number high, low, the name's first 8 bytes, 0xFF after a
// shorter name), appended one after another with no header.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/env.h"

namespace wpl::personnel {

constexpr size_t kNameRecordSize = 10;
constexpr size_t kNameRecordName = 8;
using NameRecord = std::array<uint8_t, kNameRecordSize>;

// The day's file for a prefix, taken as it is (no separator is added).
std::string NameFilePath(const std::string& prefix, const LocalTime& now);
NameRecord BuildNameRecord(int32_t person, std::span<const uint8_t> name);

// Appends the record for the name to the day's file: 0 done, 1 failed. The
// file is made when it does not exist, never emptied when it does.
int32_t CopyName(Env& env, const std::string& prefix, int32_t person,
                 std::span<const uint8_t> name);
// The same without the pause that lets a terminal conversation end first:
// for a host that appends after each name it loaded itself.
int32_t AppendName(Env& env, const std::string& prefix, int32_t person,
                   std::span<const uint8_t> name);

struct NameEntry {
  uint16_t person;
  std::vector<uint8_t> name;  // without the 0xFF filler
  friend bool operator==(const NameEntry&, const NameEntry&) = default;
};
// The whole records of a name file's bytes; a short tail is no record.
std::vector<NameEntry> ParseNameFile(std::span<const uint8_t> bytes);

}  // namespace wpl::personnel
