// The recoder between UTF-8 and a terminal's code page.
#include "recode.h"

#include <gtest/gtest.h>

namespace pclog {
namespace {

std::string Text(const std::optional<std::vector<uint8_t>>& b) {
  return b ? std::string(b->begin(), b->end()) : "<none>";
}

TEST(Recoder, Conversions) {
  struct Case {
    const char* to;
    const char* from;
    std::string text;
    bool cutEnd;
    std::string out;
  };
  const Case cases[] = {
      // No encoding: the bytes as given, even ones that are not UTF-8.
      {"", "UTF-8", "Anna \xFF", false, "Anna \xFF"},
      {"UTF-8", "", "\xB0\xA1", false, "\xB0\xA1"},
      {"GBK", "UTF-8", "Anna", false, "Anna"},
      {"GBK", "UTF-8", "\xE5\x95\x8A", false, "\xB0\xA1"},  // U+554A
      {"UTF-8", "GBK", "\xB0\xA1", false, "\xE5\x95\x8A"},
      {"ISO-8859-1", "UTF-8", "J\xC3\xB6rg", false, "J\xF6rg"},
      // A character the code page has no place for.
      {"ISO-8859-1", "UTF-8", "\xE5\x95\x8A", false, "<none>"},
      {"GBK", "UTF-8", "\xFF", false, "<none>"},
      // A name cut inside its last character: the part left out when asked.
      {"UTF-8", "GBK", "A\xB0", true, "A"},
      {"UTF-8", "GBK", "A\xB0", false, "<none>"},
      {"GBK", "UTF-8", "", false, ""},
  };
  for (const Case& k : cases) {
    const Recoder recode(k.to, k.from);
    EXPECT_EQ(Text(recode(k.text, k.cutEnd)), k.out) << k.to << " from " << k.from;
  }
}

TEST(Recoder, OneRecoderServesManyTexts) {
  // The state is reset for each text: a failed one does not spoil the next.
  const Recoder recode("ISO-8859-1", "UTF-8");
  EXPECT_EQ(Text(recode("\xE5\x95\x8A")), "<none>");
  EXPECT_EQ(Text(recode("\xC3\xA9")), "\xE9");
  const std::string longText(5000, 'x');
  EXPECT_EQ(Text(recode(longText)), longText);
}

TEST(Recoder, UnknownEncodingIsNamed) {
  struct Case {
    const char* to;
    const char* from;
    std::string named;
  };
  const Case cases[] = {{"NO-SUCH-CODEPAGE", "UTF-8", "NO-SUCH-CODEPAGE"},
                        {"UTF-8", "NOPE-2", "NOPE-2"}};
  for (const Case& k : cases) {
    try {
      const Recoder recode(k.to, k.from);
      ADD_FAILURE() << k.named << " accepted";
    } catch (const Recoder::UnknownEncoding& e) {
      EXPECT_EQ(std::string(e.what()), k.named);
    }
  }
}

}  // namespace
}  // namespace pclog
