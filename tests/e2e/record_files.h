// The files a download leaves behind, and the text its conversion must make
// of them.
#pragma once
#include <string>

#include "file_contents.h"
#include "records/clocking_record.h"

namespace wpl::e2e {

using testing::ReadFile;

// The text the conversion must make of a record file whose records are all
// valid: one 21-character line and CR LF per record.
inline std::string ExpectedText(const std::string& records,
                                records::TagRule rule = records::TagRule::kSixtyElseThirty) {
  std::string text;
  for (size_t i = 0; i + 6 <= records.size(); i += 6) {
    auto r = records::DecodeRecord(reinterpret_cast<const uint8_t*>(records.data() + i));
    text += records::RecordLine(r, rule) + "\r\n";
  }
  return text;
}

}  // namespace wpl::e2e
