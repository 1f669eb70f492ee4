#include "csv.h"

namespace pclog::csv {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + '"';
}

std::optional<int32_t> Number(const std::string& field, int64_t max) {
  if (field.empty() || field.size() > 10) return std::nullopt;
  int64_t v = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v > max) return std::nullopt;
  return static_cast<int32_t>(v);
}

std::vector<Row> ReadRows(std::istream& in, const RowShape& shape, const TextToBytes& toBytes,
                          std::vector<Problem>& problems) {
  std::vector<Row> rows;
  std::string line;
  for (size_t number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (line.empty() || line[0] == '#') continue;
    const auto fields = Fields(line);
    Row row{number, {}, {}};
    std::string problem;
    if (fields.size() != shape.numbers + (shape.text ? 1 : 0)) {
      problem = "expected " + std::to_string(shape.numbers) +
                (shape.text ? " numbers and a text" : " numbers");
    }
    for (size_t i = 0; problem.empty() && i < shape.numbers; ++i) {
      const auto v = Number(fields[i], shape.max);
      if (!v)
        problem = "not a number up to " + std::to_string(shape.max) + ": " + fields[i];
      else
        row.numbers.push_back(*v);
    }
    if (number == 1 && !problem.empty() && !fields.empty() && !Number(fields[0], INT32_MAX))
      continue;  // a header
    if (problem.empty() && shape.text) {
      const auto bytes = toBytes(fields.back());
      if (!bytes)
        problem = "characters the encoding cannot hold";
      else
        row.text = *bytes;
    }
    if (problem.empty())
      rows.push_back(std::move(row));
    else
      problems.push_back({number, problem});
  }
  return rows;
}

}  // namespace pclog::csv
