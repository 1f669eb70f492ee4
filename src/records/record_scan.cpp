#include "records/record_scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "records/consumption_record.h"

namespace wpl::records {
namespace {

template <TagRule rule>
struct ClockingLayout {
  static constexpr size_t kRecord = kRecordSize;
  static constexpr size_t kLine = kLineBytes;

  static bool Line(const uint8_t* b, char* out) {
    const ClockingRecord r = DecodeRecord(b);
    if (!IsValid(r)) return false;
    FormatRecordLine(r, rule, out);
    out[kLineChars] = '\r';
    out[kLineChars + 1] = '\n';
    return true;
  }
  static std::string Key(const uint8_t*, const char* line) { return std::string(line + 19, 2); }
};

struct ConsumptionLayout {
  static constexpr size_t kRecord = kConsumptionSize;
  static constexpr size_t kLine = kConsumptionLineBytes;

  static bool Line(const uint8_t* b, char* out) {
    const ConsumptionRecord r = DecodeConsumption(b);
    if (!IsValid(r)) return false;
    FormatConsumptionLine(r, out);
    out[kConsumptionLineChars] = '\r';
    out[kConsumptionLineChars + 1] = '\n';
    return true;
  }
  static std::string Key(const uint8_t* b, const char*) {
    return PadZero2(DecodeConsumption(b).Device());
  }
};

template <class Layout>
ScanOutcome Scan(File& in, File& out, const Layout& layout, size_t chunk) {
  constexpr size_t N = Layout::kRecord;
  chunk = std::max<size_t>(chunk, 1);
  // Room for a chunk after the partial record carried over from the last
  // one; the lines of one chunk always fit the output buffer.
  std::vector<uint8_t> input(chunk + N - 1);
  std::vector<char> output((chunk + N - 1) / N * Layout::kLine);
  ScanOutcome result;
  size_t carry = 0;
  for (;;) {
    const int64_t got = in.Read(std::span(input.data() + carry, chunk));
    if (got < 0) {
      result.status = ScanOutcome::Status::kReadError;
      return result;
    }
    if (got == 0) return result;  // what is left in `input` is a partial record
    const size_t avail = carry + static_cast<size_t>(got);
    const uint8_t* base = input.data();
    char* o = output.data();
    size_t pos = 0;
    while (pos + N <= avail) {
      if (!layout.Line(base + pos, o)) {
        ++pos;
        continue;
      }
      if (result.lines++ == 0) result.firstKey = layout.Key(base + pos, o);
      o += Layout::kLine;
      pos += N;
    }
    const auto written = reinterpret_cast<const uint8_t*>(output.data());
    if (o != output.data() &&
        !out.Write(std::span(written, static_cast<size_t>(o - output.data())))) {
      result.status = ScanOutcome::Status::kWriteError;
      return result;
    }
    carry = avail - pos;
    std::memmove(input.data(), input.data() + pos, carry);
  }
}

}  // namespace

ScanOutcome ConvertClockingRecords(File& in, File& out, TagRule rule, size_t chunk) {
  // The rule is fixed per instance so the loop carries no test of it.
  if (rule == TagRule::kIndependent)
    return Scan(in, out, ClockingLayout<TagRule::kIndependent>{}, chunk);
  return Scan(in, out, ClockingLayout<TagRule::kSixtyElseThirty>{}, chunk);
}

ScanOutcome ConvertConsumptionRecords(File& in, File& out, size_t chunk) {
  return Scan(in, out, ConsumptionLayout{}, chunk);
}

}  // namespace wpl::records
