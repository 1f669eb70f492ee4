// The conversion core: turns a record file into its text file in one pass
// through fixed buffers (no system call per record, the same memory for any
// file size). At every position the scan tries a whole record; a valid one
// gives a line and moves the scan past it, an invalid one moves it one byte
// on, so the scan falls back into step after a stray or missing byte. A
// trailing partial record is ignored.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "records/clocking_record.h"

namespace wpl::records {

// Bytes read per step; the output buffer holds the lines of one step.
inline constexpr size_t kScanChunk = 256 * 1024;

struct ScanOutcome {
  enum class Status { kDone, kReadError, kWriteError };
  Status status = Status::kDone;
  uint64_t lines = 0;
  // The key of the first line for the backup name: its 2-digit tag for
  // clocking records, its device number (at least 2 digits) for consumption
  // records; "00" when no record was valid.
  std::string firstKey = "00";
  bool ok() const { return status == Status::kDone; }
};

ScanOutcome ConvertClockingRecords(File& in, File& out, TagRule rule, size_t chunk = kScanChunk);
ScanOutcome ConvertConsumptionRecords(File& in, File& out, size_t chunk = kScanChunk);

}  // namespace wpl::records
