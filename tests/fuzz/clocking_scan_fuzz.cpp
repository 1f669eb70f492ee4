// Record files of any content through the clocking-record scan.
#include "record_scan_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace wpl::records;
  const TagRule rule = size && (data[0] & 0x80) ? TagRule::kIndependent : TagRule::kSixtyElseThirty;
  return wpl::fuzz::CheckScan<kRecordSize>(
      data, size,
      [rule](const uint8_t* b) -> std::optional<std::string> {
        const ClockingRecord r = DecodeRecord(b);
        if (!IsValid(r)) return std::nullopt;
        const std::string line = RecordLine(r, rule);
        if (line.size() != kLineChars || line[8] != ':') std::abort();
        return line + "\r\n";
      },
      [rule](wpl::File& in, wpl::File& out, size_t chunk) {
        return ConvertClockingRecords(in, out, rule, chunk);
      });
}
