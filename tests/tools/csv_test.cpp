// The CSV codec of the table commands: fields, quoting, numbers and whole
// table files with their headers, comments and bad lines.
#include "csv.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pclog::csv {
namespace {

using Strings = std::vector<std::string>;

TEST(Csv, FieldsOfALine) {
  struct Case {
    std::string line;
    Strings fields;
  };
  const Case cases[] = {
      {"", {""}},
      {"1,Anna", {"1", "Anna"}},
      {"1,,", {"1", "", ""}},
      {"7,\"Berg, Jo\"", {"7", "Berg, Jo"}},
      {"7,\"say \"\"hi\"\"\"", {"7", "say \"hi\""}},
      {"\"a\"b,c", {"ab", "c"}},
      // An unclosed quote runs to the end of the line.
      {"1,\"open, still", {"1", "open, still"}},
      {"\"\"", {""}},
  };
  for (const Case& k : cases) EXPECT_EQ(Fields(k.line), k.fields) << k.line;
}

TEST(Csv, FieldQuotesOnlyWhatNeedsIt) {
  struct Case {
    std::string text, field;
  };
  const Case cases[] = {
      {"Anna", "Anna"},
      {"", ""},
      {"Berg, Jo", "\"Berg, Jo\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(Field(k.text), k.field) << k.text;
    if (k.text.find_first_of("\r\n") == std::string::npos) {
      EXPECT_EQ(Fields("1," + Field(k.text)), (Strings{"1", k.text})) << "round trip " << k.text;
    }
  }
}

TEST(Csv, Numbers) {
  struct Case {
    std::string field;
    int64_t max;
    std::optional<int32_t> value;
  };
  const Case cases[] = {
      {"0", 65535, 0},
      {"65535", 65535, 65535},
      {"65536", 65535, std::nullopt},
      {"007", 65535, 7},
      {"", 65535, std::nullopt},
      {"-1", 65535, std::nullopt},
      {"+1", 65535, std::nullopt},
      {" 1", 65535, std::nullopt},
      {"1e3", 65535, std::nullopt},
      {"2147483647", INT32_MAX, INT32_MAX},
      {"2147483648", INT32_MAX, std::nullopt},
      // Ten digits at most: no overflow of the sum.
      {"99999999999999999999", INT32_MAX, std::nullopt},
      {"00000000001", INT32_MAX, std::nullopt},
  };
  for (const Case& k : cases) EXPECT_EQ(Number(k.field, k.max), k.value) << k.field;
}

std::optional<std::vector<uint8_t>> Bytes(const std::string& t) {
  if (t.find('!') != std::string::npos) return std::nullopt;  // "cannot be held"
  return std::vector<uint8_t>(t.begin(), t.end());
}

TEST(Csv, TableFiles) {
  struct Case {
    const char* what;
    std::string file;
    RowShape shape;
    std::vector<size_t> rowLines;
    std::vector<std::string> problems;  // "line: why"
  };
  const RowShape names{1, 65535, true};
  const Case cases[] = {
      {"header, comment, blank line, CRLF",
       "person,name\r\n# staff\r\n\r\n1,Anna\r\n2,Jo\r\n",
       names,
       {4, 5},
       {}},
      {"UTF-8 mark before the header", "\xEF\xBB\xBFperson,name\n3,Li\n", names, {2}, {}},
      {"a header only on the first line",
       "1,Anna\nperson,name\n",
       names,
       {1},
       {"2: not a number up to 65535: person"}},
      {"fields counted",
       "1\n2,a,b\n3,ok\n",
       names,
       {3},
       {"1: expected 1 numbers and a text", "2: expected 1 numbers and a text"}},
      {"number out of range", "65536,Big\n", names, {}, {"1: not a number up to 65535: 65536"}},
      {"text the encoding cannot hold",
       "1,hey!\n",
       names,
       {},
       {"1: characters the encoding cannot hold"}},
      {"numbers only", "5\n6\n", {1, 65535, false}, {1, 2}, {}},
      {"thirteen values", "1,2,3,4,5,6,7,8,9,10,11,12,13,Hello\n", {13, 65535, true}, {1}, {}},
  };
  for (const Case& k : cases) {
    std::istringstream in(k.file);
    std::vector<Problem> problems;
    const auto rows = ReadRows(in, k.shape, Bytes, problems);
    std::vector<size_t> lines;
    for (const Row& r : rows) {
      lines.push_back(r.line);
      EXPECT_EQ(r.numbers.size(), k.shape.numbers) << k.what;
    }
    EXPECT_EQ(lines, k.rowLines) << k.what;
    std::vector<std::string> said;
    for (const Problem& p : problems) said.push_back(std::to_string(p.line) + ": " + p.why);
    EXPECT_EQ(said, k.problems) << k.what;
  }
}

TEST(Csv, RowValuesAndText) {
  std::istringstream in("12,\"Berg, Jo\"\n");
  std::vector<Problem> problems;
  const auto rows = ReadRows(in, {1, 65535, true}, Bytes, problems);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].numbers, std::vector<int32_t>{12});
  EXPECT_EQ(std::string(rows[0].text.begin(), rows[0].text.end()), "Berg, Jo");
}

}  // namespace
}  // namespace pclog::csv
