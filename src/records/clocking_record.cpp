#include "records/clocking_record.h"

namespace wpl::records {

std::string RecordLine(const ClockingRecord& r, TagRule rule) {
  std::string line(kLineChars, '\0');
  FormatRecordLine(r, rule, line.data());
  return line;
}

std::string FetchText(const ClockingRecord& r) {
  return PadZero6(r.number) + PadZero4(r.year) + PadZero2(r.month) + PadZero2(r.day) +
         PadZero2(r.hour) + PadZero2(r.minute) + PadZero2(Tag(r, TagRule::kIndependent));
}

}  // namespace wpl::records
