// tools/collect/status.h
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>
namespace collect {
struct TerminalStatus {
  std::string id;                 // the terminal's key in the store
  std::string link;               // "ip 127.0.0.5", "com3 address 1", "modem 5551234 com2 address 1"
  std::string mode;               // "download", "watch", "both"
  std::optional<int64_t> lastContactUtc;   // unix seconds
  std::optional<int64_t> lastSuccessUtc;
  int failuresInRow = 0;
  std::string lastError;          // in words, empty when none
  int64_t recordsToday = 0;
  std::optional<int64_t> clockOffsetSeconds;  // terminal clock minus host clock
  bool up = false;                // last conversation succeeded
  bool overdue = false;           // silent for longer than its schedule allows
};
struct CollectorCounters {
  uint64_t recordsStored = 0, duplicatesAbsorbed = 0, downloadsFailed = 0;
};
struct RecordRow {
  int64_t id = 0; std::string terminal; int person = 0;
  std::string time;      // ISO 8601 local time with the real year, "2026-03-04T08:15:00"
  int tag = 0; std::string raw;   // 12 hex digits
  std::string source;    // "download" or "live"
  int64_t batch = 0; std::string receivedUtc;   // ISO 8601 UTC "...Z"
};
class StatusSource {
 public:
  virtual ~StatusSource() = default;
  virtual std::string Site() = 0;
  virtual std::vector<TerminalStatus> Terminals() = 0;
  virtual CollectorCounters Counters() = 0;
  virtual std::vector<RecordRow> RecordsAfter(int64_t afterId, int limit) = 0;
};
}  // namespace collect
