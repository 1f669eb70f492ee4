// The CSV files the table commands read and write: commas apart, a field in
// double quotes may hold commas and doubled quotes.
#pragma once
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace pclog::csv {

// The fields of one line.
std::vector<std::string> Fields(const std::string& line);
// `text` as one field: quoted when it holds a comma, a quote or a line break.
std::string Field(const std::string& text);
// A field of digits only, at most `max`.
std::optional<int32_t> Number(const std::string& field, int64_t max);

// What a table file's rows hold: `numbers` leading numbers (each at most
// `max`), then a text when `text`.
struct RowShape {
  size_t numbers;
  int64_t max;
  bool text;
};

struct Row {
  size_t line;
  std::vector<int32_t> numbers;
  std::vector<uint8_t> text;
};

struct Problem {
  size_t line;
  std::string why;
};

// A row's text in the terminal's bytes; empty when it cannot be.
using TextToBytes = std::function<std::optional<std::vector<uint8_t>>(const std::string&)>;

// The rows of a file; the lines that cannot be read go to `problems`. A
// UTF-8 mark before the first line, empty lines and lines starting with '#'
// are passed over, and a first line that does not start with a number is a
// header.
std::vector<Row> ReadRows(std::istream& in, const RowShape& shape, const TextToBytes& toBytes,
                          std::vector<Problem>& problems);

}  // namespace pclog::csv
