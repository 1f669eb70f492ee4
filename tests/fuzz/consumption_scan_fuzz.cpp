// Record files of any content through the consumption-record scan.
#include "record_scan_fuzz.h"
#include "records/consumption_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace wpl::records;
  return wpl::fuzz::CheckScan<kConsumptionSize>(
      data, size,
      [](const uint8_t* b) -> std::optional<std::string> {
        const ConsumptionRecord r = DecodeConsumption(b);
        // The text of any bytes fits its buffer, valid or not.
        if (ConsumptionText(r).size() > kConsumptionTextMax) std::abort();
        if (!IsValid(r)) return std::nullopt;
        char line[kConsumptionLineChars];
        FormatConsumptionLine(r, line);
        return std::string(line, sizeof line) + "\r\n";
      },
      [](wpl::File& in, wpl::File& out, size_t chunk) {
        return ConvertConsumptionRecords(in, out, chunk);
      });
}
