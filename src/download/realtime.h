// The real-time fetch: the host polls a terminal for the one clocking record
// it holds ready and gets it back as text at once, without the record file.
// After the frame's ACK the host asks with 0x15; the terminal answers 0xFF
// 0xFF when it holds nothing, else 12 bytes:
//
//   byte 0-1   marker (0xFF 0xFF: no record)
//   byte 2-4   not examined
//   byte 5-10  the record
//   byte 11    sum of bytes 5 to 10, modulo 256
//
// A record the host has checked is acknowledged with 0x06; the terminal lets
// go of it only then.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/env.h"

namespace wpl::download {

constexpr size_t kRealtimeReplySize = 12;
constexpr size_t kRealtimeHeadSize = 2;
// The text: 20 characters, 21 when the tag reaches 100.
constexpr size_t kRealtimeTextMax = 21;
// What the fetches give for no record and for every failure alike.
inline constexpr char kNoRecordText[] = "00000000000000000000";

// The marker of a reply's first two bytes: nothing waits.
bool NoRecordWaiting(std::span<const uint8_t> head);
// The record of a whole reply whose checksum agrees.
std::optional<std::array<uint8_t, 6>> RealtimeRecord(std::span<const uint8_t> reply);
// The text of a record: number(6) year(4) month(2) day(2) hour(2) minute(2)
// tag(2 or 3), the tag flags adding 60 and 30 independently, no validity test.
std::string RealtimeText(std::span<const uint8_t, 6> record);

enum class RealtimeOutcome {
  kRecord,    // a record came, was checked and acknowledged
  kNoRecord,  // the terminal holds nothing (0xFF 0xFF)
  kFailed,    // no terminal, no answer, a short reply or a bad checksum
};

struct RealtimeFetch {
  RealtimeOutcome outcome = RealtimeOutcome::kFailed;
  std::string text = kNoRecordText;  // the record's text, else the twenty zeros
  std::array<uint8_t, 6> record{};   // kRecord: the record's own six bytes
};

// Over the serial line: port `port` at 57600 (the next ports only when it
// cannot be opened, six at most), one frame, 0.2 s for each answer, then
// 10 ms with the port closed.
RealtimeFetch SerialRealtimeFetch(Env& env, int32_t address, int32_t port);
// Over the network: one connection to port 1024 of the IP text.
RealtimeFetch LanRealtimeFetch(Env& env, const char* ip);

// Copies the text into a caller's buffer of at least kRealtimeTextMax + 1
// characters, terminated; returns the buffer.
char* CopyRealtimeText(const RealtimeFetch& fetch, std::span<char, kRealtimeTextMax + 1> out);

}  // namespace wpl::download
