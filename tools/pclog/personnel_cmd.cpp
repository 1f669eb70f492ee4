// pclog names / voice / card-only: one subcommand per export, and loading a
// whole table from a CSV file, one call per row. Each single operation is a
// row of kOperations: its family, name, number arguments, whether a text
// follows, and its serial and network calls.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "csv.h"
#include "exports/results.h"
#include "personnel/name_file.h"
#include "personnel/personnel.h"
#include "progress.h"
#include "recode.h"

namespace pclog {
namespace {

using wpl::exports::DoneOrFailed;

using namespace wpl::personnel;
using Bytes = std::vector<uint8_t>;
using Numbers = std::vector<int32_t>;

// A recoder for --encoding; an encoding iconv does not know is refused as
// the option's value.
std::unique_ptr<Recoder> OpenRecoder(const std::string& to, const std::string& from) {
  try {
    return std::make_unique<Recoder>(to, from);
  } catch (const Recoder::UnknownEncoding& e) {
    throw CLI::ValidationError("--encoding", std::string("unknown encoding ") + e.what());
  }
}

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
using LanCall =
    std::function<wpl::link::LanResult(wpl::Env&, const char*, const Numbers&, const Bytes&)>;

struct Operation {
  const char* family;
  const char* name;
  const char* help;
  std::vector<const char*> numbers;
  const char* text;  // the text argument's name; null when there is none
  SerialCall serial;
  LanCall lan;  // empty: no network form
};

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
       return wpl::link::LanResult{g ? wpl::link::LanOutcome::kDone
                                     : wpl::link::LanOutcome::kRefused};
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
    const auto recode = OpenRecoder(*encoding, "UTF-8");
    const auto bytes = (*recode)(*text);
    if (!bytes) {
      std::fprintf(stderr, "the text has characters %s cannot hold\n", encoding->c_str());
      Finish(2);
    }
    const std::string what = std::string(op.family) + " " + op.name;
    if (target->network()) {
      if (!op.lan) throw CLI::ValidationError("--ip", what + " has no network form");
      CheckIp(*target);
      const auto r = op.lan(env, target->ip.c_str(), *numbers, *bytes);
      Report(what.c_str(), r, *target);
      Finish(DoneOrFailed(r));
    }
    const auto r = op.serial(env, *target, *numbers, *bytes);
    Report(what.c_str(), r, *target);
    Finish(DoneOrFailed(r));
  });
}

// --- Loading from a file -------------------------------------------------

using csv::Row;

struct Table {
  const char* family;
  const char* rows;  // what a row is, for the help
  csv::RowShape shape;
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
       return t.network() ? DoneOrFailed(LanSendName(env, t.ip.c_str(), r.numbers[0], r.text))
                          : DoneOrFailed(SendName(env, t.address, t.port, r.numbers[0], r.text));
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
       return DoneOrFailed(SendVoice(env, t.address, t.port, values, r.text));
     },
     true},
    {"card-only",
     "person number (0-65535)",
     {1, 65535, false},
     [](wpl::Env& env, const Target& t, const Row& r, std::string&) {
       return DoneOrFailed(CardOnly(env, t.address, t.port, CardOnlyOp::kAdd, r.numbers[0]));
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
    const auto recode = OpenRecoder(*encoding, "UTF-8");
    std::vector<csv::Problem> problems;
    const auto rows = csv::ReadRows(
        in, table.shape, [&](const std::string& t) { return (*recode)(t); }, problems);
    for (const auto& p : problems) std::fprintf(stderr, "line %zu: %s\n", p.line, p.why.c_str());
    size_t failed = problems.size();
    size_t loaded = 0;
    {
      // One counting line on stderr, drawn only on a terminal; each failed
      // row a line of its own above it.
      const bool live = ::isatty(STDERR_FILENO) != 0 && !rows.empty();
      ProgressBoard progress({""}, live, stderr, {.barWidth = 30, .steps = rows.size()});
      const auto failedRow = [&](size_t line, const std::string& why) {
        progress.Note("line " + std::to_string(line) + ": " + why);
      };
      for (const Row& row : rows) {
        std::string why;
        if (table.load(env, *target, row, why) != 0) {
          ++failed;
          failedRow(row.line, why.empty() ? "the terminal did not acknowledge" : why);
        } else {
          ++loaded;
          if (!copyTo->empty() && AppendName(env, *copyTo, row.numbers[0], row.text) != 0)
            failedRow(row.line, "loaded, but not copied to the name file");
        }
        progress.Step(0);
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
    const auto recode = OpenRecoder("UTF-8", *encoding);
    std::ostringstream table;
    table << "person,name\n";
    for (const auto& e :
         ParseNameFile(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))) {
      // A name cut at 8 bytes may end inside a character: shown as it is.
      const auto text = (*recode)(AsText(e.name), true);
      table << e.person << ',' << csv::Field(text ? AsText(*text) : AsText(e.name)) << '\n';
    }
    if (out->empty()) {
      std::fputs(table.str().c_str(), stdout);
      return;
    }
    std::ofstream o(*out, std::ios::binary);
    o << table.str();
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
