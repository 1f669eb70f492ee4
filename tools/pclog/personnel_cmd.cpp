// pclog names / voice / card-only: one subcommand per export, and loading a
// whole table from a CSV file, one call per row. Each single operation is a
// row of kOperations: its family, name, number arguments, whether a text
// follows, and its serial and network calls.
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "personnel/name_file.h"
#include "personnel/personnel.h"

namespace pclog {
namespace {

using namespace wpl::personnel;
using Bytes = std::vector<uint8_t>;
using Numbers = std::vector<int32_t>;

// Texts from UTF-8 to the terminal's code page and back, through iconv.
class Recoder {
 public:
  Recoder(const std::string& to, const std::string& from) {
    if (to.empty() || from.empty()) return;
    cd_ = iconv_open(to.c_str(), from.c_str());
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw CLI::ValidationError("--encoding", "unknown encoding " + (to == "UTF-8" ? from : to));
  }
  ~Recoder() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Recoder(const Recoder&) = delete;
  Recoder& operator=(const Recoder&) = delete;

  // Empty when a character has no place in the target code page. `cutEnd`:
  // the text may end inside a character (a name cut at 8 bytes), which is
  // left out.
  std::optional<Bytes> operator()(const std::string& text, bool cutEnd = false) const {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return Bytes(text.begin(), text.end());
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string in = text;
    Bytes out(in.size() * 4 + 8);
    char* inp = in.data();
    size_t inLeft = in.size();
    auto* outp = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size();
    if (iconv(cd_, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) &&
        !(cutEnd && errno == EINVAL))
      return std::nullopt;
    if (iconv(cd_, nullptr, nullptr, &outp, &outLeft) == static_cast<size_t>(-1))
      return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

std::string AsText(const Bytes& b) { return {b.begin(), b.end()}; }

std::shared_ptr<std::string> AddEncoding(CLI::App* sub) {
  auto encoding = std::make_shared<std::string>();
  sub->add_option("--encoding", *encoding,
                  "The terminal's code page for texts (e.g. GBK); default: the bytes as given");
  return encoding;
}

// --- Single operations ---------------------------------------------------

using SerialCall =
    std::function<wpl::link::SerialResult(wpl::Env&, const Target&, const Numbers&, const Bytes&)>;
using LanCall = std::function<int32_t(wpl::Env&, const char*, const Numbers&, const Bytes&)>;

struct Operation {
  const char* family;
  const char* name;
  const char* help;
  std::vector<const char*> numbers;
  const char* text;  // the text argument's name; null when there is none
  SerialCall serial;
  LanCall lan;  // empty: no network form
};

int32_t Done(const wpl::link::SerialResult& r) { return wpl::link::DoneOrFailed(r); }

std::span<const int32_t, kVoiceValues> VoiceValuesOf(const Numbers& n) {
  return std::span<const int32_t, kVoiceValues>(n.data(), kVoiceValues);
}

const std::vector<const char*> kVoiceValueNames = {"v1", "v2", "v3",  "v4",  "v5",  "v6", "v7",
                                                   "v8", "v9", "v10", "v11", "v12", "v13"};

const Operation kOperations[] = {
    {"names",
     "send",
     "Load one name for a person number",
     {"person"},
     "name",
     [](auto& env, auto& t, auto& n, auto& text) {
       return SendName(env, t.address, t.port, n[0], text);
     },
     [](auto& env, auto ip, auto& n, auto& text) { return LanSendName(env, ip, n[0], text); }},
    {"names",
     "change",
     "Give a person's name to another person number",
     {"first", "second"},
     nullptr,
     [](auto& env, auto& t, auto& n, auto&) {
       return ChangeNameId(env, t.address, t.port, n[0], n[1]);
     },
     [](auto& env, auto ip, auto& n, auto&) { return LanChangeNameId(env, ip, n[0], n[1]); }},
    {"names",
     "delete-all",
     "Delete every name",
     {},
     nullptr,
     [](auto& env, auto& t, auto&, auto&) { return DeleteAllNames(env, t.address, t.port); },
     [](auto& env, auto ip, auto&, auto&) { return LanDeleteAllNames(env, ip); }},
    {"voice", "send", "Load one voice prompt entry: thirteen values and a text", kVoiceValueNames,
     "text",
     [](auto& env, auto& t, auto& n, auto& text) {
       return SendVoice(env, t.address, t.port, VoiceValuesOf(n), text);
     },
     [](auto& env, auto ip, auto& n, auto& text) {
       const auto g = LanSendVoice(env, ip, VoiceValuesOf(n), text);
       if (g) std::printf("greeting number %u\n", *g);
       return g ? 0 : 1;
     }},
    {"voice",
     "delete",
     "Delete one voice prompt entry (0: all)",
     {"voice"},
     nullptr,
     [](auto& env, auto& t, auto& n, auto&) { return DeleteVoice(env, t.address, t.port, n[0]); },
     [](auto& env, auto ip, auto& n, auto&) { return LanDeleteVoice(env, ip, n[0]); }},
    {"voice",
     "delete-all",
     "Delete every voice prompt entry",
     {},
     nullptr,
     [](auto& env, auto& t, auto&, auto&) { return DeleteAllVoices(env, t.address, t.port); },
     [](auto& env, auto ip, auto&, auto&) { return LanDeleteAllVoices(env, ip); }},
    {"card-only",
     "add",
     "Put a person on the card-only list",
     {"person"},
     nullptr,
     [](auto& env, auto& t, auto& n, auto&) {
       return CardOnly(env, t.address, t.port, CardOnlyOp::kAdd, n[0]);
     },
     nullptr},
    {"card-only",
     "delete",
     "Take a person off the card-only list",
     {"person"},
     nullptr,
     [](auto& env, auto& t, auto& n, auto&) {
       return CardOnly(env, t.address, t.port, CardOnlyOp::kRemove, n[0]);
     },
     nullptr},
    {"card-only",
     "delete-all",
     "Empty the card-only list",
     {},
     nullptr,
     [](auto& env, auto& t, auto&, auto&) {
       return CardOnly(env, t.address, t.port, CardOnlyOp::kClear);
     },
     nullptr},
};

void AddOperation(CLI::App* family, const Operation& op, wpl::Env& env) {
  auto* sub = family->add_subcommand(op.name, op.help);
  auto encoding = AddEncoding(sub);
  auto target = AddTarget(sub);
  auto numbers = std::make_shared<Numbers>(op.numbers.size());
  for (size_t i = 0; i < op.numbers.size(); ++i)
    sub->add_option(op.numbers[i], (*numbers)[i])->required();
  auto text = std::make_shared<std::string>();
  if (op.text) sub->add_option(op.text, *text, "UTF-8, converted with --encoding");
  sub->callback([&env, &op, target, numbers, text, encoding] {
    const Recoder recode(*encoding, "UTF-8");
    const auto bytes = recode(*text);
    if (!bytes) {
      std::fprintf(stderr, "the text has characters %s cannot hold\n", encoding->c_str());
      Finish(2);
    }
    const std::string what = std::string(op.family) + " " + op.name;
    if (target->network()) {
      if (!op.lan) throw CLI::ValidationError("--ip", what + " has no network form");
      CheckIp(*target);
      const int32_t r = op.lan(env, target->ip.c_str(), *numbers, *bytes);
      std::printf(r == 0 ? "%s: %s acknowledged\n" : "%s: %s did not acknowledge\n", what.c_str(),
                  target->ip.c_str());
      Finish(r);
    }
    const auto r = op.serial(env, *target, *numbers, *bytes);
    Report(what.c_str(), r, *target);
    Finish(wpl::link::DoneOrFailed(r));
  });
}

// --- Loading from a file -------------------------------------------------

// The fields of one CSV line: commas apart, a field in double quotes may
// hold commas and doubled quotes.
std::vector<std::string> CsvFields(const std::string& line) {
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

std::string CsvField(const std::string& text) {
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

struct Row {
  size_t line;
  Numbers numbers;
  Bytes text;
};

// What a table file's rows hold: `numbers` leading numbers (each at most
// `max`), then a text when `text`.
struct RowShape {
  size_t numbers;
  int64_t max;
  bool text;
};

// The rows of a file; rows that cannot be read are reported by line number
// and counted in `bad`. A first line that does not start with a number is a
// header.
std::vector<Row> ReadRows(std::istream& in, const RowShape& shape, const Recoder& recode,
                          size_t& bad) {
  std::vector<Row> rows;
  std::string line;
  for (size_t number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (line.empty() || line[0] == '#') continue;
    const auto fields = CsvFields(line);
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
      const auto bytes = recode(fields.back());
      if (!bytes)
        problem = "characters the encoding cannot hold";
      else
        row.text = *bytes;
    }
    if (problem.empty()) {
      rows.push_back(std::move(row));
    } else {
      std::fprintf(stderr, "line %zu: %s\n", number, problem.c_str());
      ++bad;
    }
  }
  return rows;
}

// One line on stderr: the bar, redrawn in place when stderr is a terminal;
// each failed row a line of its own above it.
class LoadProgress {
 public:
  explicit LoadProgress(size_t total) : total_(total), live_(::isatty(STDERR_FILENO) != 0) {}
  ~LoadProgress() {
    if (live_) std::fputc('\n', stderr);
  }
  void Failed(size_t line, const std::string& why) {
    std::fprintf(stderr, "%sline %zu: %s\n", live_ ? "\r\033[K" : "", line, why.c_str());
    Draw();
  }
  void Step() {
    ++done_;
    Draw();
  }

 private:
  void Draw() const {
    if (!live_ || total_ == 0) return;
    constexpr size_t kWidth = 30;
    const size_t filled = done_ * kWidth / total_;
    std::fprintf(stderr, "\r[%s%s] %3zu%% %zu/%zu", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), done_ * 100 / total_, done_, total_);
    std::fflush(stderr);
  }
  size_t total_, done_ = 0;
  bool live_;
};

struct Table {
  const char* family;
  const char* rows;  // what a row is, for the help
  RowShape shape;
  // Loads one row; a refusal of the row itself (too long) says why.
  std::function<int32_t(wpl::Env&, const Target&, const Row&, std::string& why)> load;
  bool network;
};

const Table kTables[] = {
    {"names",
     "person number (0-65535), name",
     {1, 65535, true},
     [](wpl::Env& env, const Target& t, const Row& r, std::string& why) {
       if (!NameFits(r.text)) {
         why = "name longer than " + std::to_string(kMaxNameBytes) + " bytes";
         return 1;
       }
       return t.network() ? LanSendName(env, t.ip.c_str(), r.numbers[0], r.text)
                          : Done(SendName(env, t.address, t.port, r.numbers[0], r.text));
     },
     true},
    {"voice",
     "thirteen values (0-65535), text",
     {kVoiceValues, 65535, true},
     [](wpl::Env& env, const Target& t, const Row& r, std::string& why) {
       if (!VoiceTextFits(r.text)) {
         why = "text longer than " + std::to_string(kMaxVoiceText) + " bytes";
         return 1;
       }
       const auto values = VoiceValuesOf(r.numbers);
       if (t.network()) return LanSendVoice(env, t.ip.c_str(), values, r.text) ? 0 : 1;
       return Done(SendVoice(env, t.address, t.port, values, r.text));
     },
     true},
    {"card-only",
     "person number (0-65535)",
     {1, 65535, false},
     [](wpl::Env& env, const Target& t, const Row& r, std::string&) {
       return Done(CardOnly(env, t.address, t.port, CardOnlyOp::kAdd, r.numbers[0]));
     },
     false},
};

void AddLoad(CLI::App* family, const Table& table, wpl::Env& env) {
  auto* sub = family->add_subcommand(
      "load", std::string("Load every row of a CSV file (UTF-8): ") + table.rows);
  auto encoding = AddEncoding(sub);
  auto target = AddTarget(sub);
  auto file = std::make_shared<std::string>();
  auto copyTo = std::make_shared<std::string>();
  sub->add_option("file", *file, "The CSV file")->required();
  if (std::string_view(table.family) == "names")
    sub->add_option("--copy-to", *copyTo,
                    "Append each loaded name to this prefix + NAMmmdd.DAT, as _COPYNAME does");
  sub->callback([&env, &table, target, file, copyTo, encoding] {
    if (target->network()) {
      if (!table.network)
        throw CLI::ValidationError("--ip", std::string(table.family) + " has no network form");
      CheckIp(*target);
    }
    std::ifstream in(*file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", file->c_str());
      Finish(2);
    }
    const Recoder recode(*encoding, "UTF-8");
    size_t failed = 0;
    const auto rows = ReadRows(in, table.shape, recode, failed);
    size_t loaded = 0;
    {
      LoadProgress progress(rows.size());
      for (const Row& row : rows) {
        std::string why;
        if (table.load(env, *target, row, why) != 0) {
          ++failed;
          progress.Failed(row.line, why.empty() ? "the terminal did not acknowledge" : why);
        } else {
          ++loaded;
          if (!copyTo->empty() && AppendName(env, *copyTo, row.numbers[0], row.text) != 0)
            progress.Failed(row.line, "loaded, but not copied to the name file");
        }
        progress.Step();
      }
    }
    std::printf("%s: %zu loaded, %zu failed\n", table.family, loaded, failed);
    Finish(failed == 0 ? 0 : 1);
  });
}

void AddNameExport(CLI::App* family) {
  auto* sub = family->add_subcommand("export", "Write a name file (NAMmmdd.DAT) as CSV (UTF-8)");
  auto encoding = AddEncoding(sub);
  auto file = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  sub->add_option("file", *file, "The name file")->required();
  sub->add_option("-o,--output", *out, "The CSV file to write (default: standard output)");
  sub->callback([file, out, encoding] {
    std::ifstream in(*file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", file->c_str());
      Finish(2);
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const Recoder recode("UTF-8", *encoding);
    std::ostringstream csv;
    csv << "person,name\n";
    for (const auto& e :
         ParseNameFile(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))) {
      // A name cut at 8 bytes may end inside a character: shown as it is.
      const auto text = recode(AsText(e.name), true);
      csv << e.person << ',' << CsvField(text ? AsText(*text) : AsText(e.name)) << '\n';
    }
    if (out->empty()) {
      std::fputs(csv.str().c_str(), stdout);
      return;
    }
    std::ofstream o(*out, std::ios::binary);
    o << csv.str();
    if (!o.flush()) {
      std::fprintf(stderr, "cannot write %s\n", out->c_str());
      Finish(2);
    }
  });
}

}  // namespace

void AddPersonnel(CLI::App& app, wpl::Env& env) {
  std::map<std::string, CLI::App*> families;
  for (auto [name, help] : {std::pair{"names", "The terminal's display names"},
                            {"voice", "The terminal's voice prompt entries"},
                            {"card-only", "The persons who clock with their card alone"}}) {
    families[name] = app.add_subcommand(name, help);
    families[name]->require_subcommand(1);
  }
  for (const Operation& op : kOperations) AddOperation(families[op.family], op, env);
  for (const Table& t : kTables) AddLoad(families[t.family], t, env);
  AddNameExport(families["names"]);
}

}  // namespace pclog
