#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "commands.h"
#include "csv.h"
#include "records/consumption_record.h"
#include "records/conversion.h"

namespace pclog {
namespace {

using namespace wpl::records;

// One decoded field: its name, its value as text, and whether JSON takes it
// as a number.
struct DumpField {
  const char* name;
  std::string value;
  bool number = true;
};

struct Reading {
  std::string text;
  const char* invalid;  // the failing field, or nullptr
  std::vector<DumpField> fields;
};

enum class DumpFormat { kText, kCsv, kJsonLines };

// Walks the file as the conversion does: a valid record moves the walk past
// it, an invalid one one byte on. As text every position tried is printed
// with its bytes and what they decode to; as CSV or JSON lines each record
// the conversion keeps is one line of decoded fields, and the rejected
// positions are counted on stderr.
template <class Read>
int Dump(const std::vector<uint8_t>& bytes, size_t size, DumpFormat format, Read read) {
  size_t pos = 0, lines = 0, rejected = 0;
  bool header = format == DumpFormat::kCsv;
  while (pos + size <= bytes.size()) {
    const Reading r = read(bytes.data() + pos);
    if (format == DumpFormat::kText) {
      std::printf("%08zu ", pos);
      for (size_t i = 0; i < size; ++i) std::printf(" %02X", bytes[pos + i]);
      if (r.invalid)
        std::printf("  invalid %-11s %s\n", r.invalid, r.text.c_str());
      else
        std::printf("  %s\n", r.text.c_str());
    } else if (!r.invalid) {
      std::vector<DumpField> fields{{"offset", std::to_string(pos)}};
      fields.insert(fields.end(), r.fields.begin(), r.fields.end());
      fields.push_back({"line", r.text, false});
      std::string out;
      if (format == DumpFormat::kCsv) {
        if (header) {
          for (const DumpField& f : fields) out += std::string(out.empty() ? "" : ",") + f.name;
          out += '\n';
          header = false;
        }
        for (size_t i = 0; i < fields.size(); ++i)
          out += (i ? "," : "") + csv::Field(fields[i].value);
      } else {
        Json line;
        for (const DumpField& f : fields)
          line[f.name] = f.number ? Json::parse(f.value) : Json(f.value);
        out = JsonText(line);
      }
      std::printf("%s\n", out.c_str());
    }
    if (r.invalid) {
      ++rejected;
      ++pos;
    } else {
      ++lines;
      pos += size;
    }
  }
  const size_t trailing = bytes.size() - pos;
  if (format != DumpFormat::kText) {
    std::fprintf(stderr, "%zu records, %zu positions rejected, %zu trailing bytes\n", lines,
                 rejected, trailing);
    return 0;
  }
  if (trailing > 0) std::printf("%08zu  %zu trailing bytes, not a whole record\n", pos, trailing);
  std::printf("%zu lines, %zu positions rejected\n", lines, rejected);
  return 0;
}

std::string Digits(unsigned value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*u", width, value);
  return text;
}

}  // namespace

void AddConversions(CLI::App& app, wpl::Env& env) {
  struct Args {
    std::string directory, name, file;
    bool consumption = false;
    bool independentTags = false;
    DumpFormat format = DumpFormat::kText;
  };
  auto args = std::make_shared<Args>();
  auto* convert = app.add_subcommand("convert", "Convert DIR/NAME.dat (clocking records) to text");
  auto* convertXf =
      app.add_subcommand("convert-xf", "Convert DIR/NAME.dat (consumption records) to text");
  for (auto* sub : {convert, convertXf}) {
    sub->add_option("directory", args->directory, "Folder of the files, ending with a separator")
        ->required();
    sub->add_option("name", args->name, "File name without .dat")->required();
  }
  convert->callback([args, &env] {
    Field("file", args->directory + args->name + ".dat");
    Finish(ConvertHostFile(env, args->directory, args->name, RecordKind::kClocking));
  });
  convertXf->callback([args, &env] {
    Field("file", args->directory + args->name + ".dat");
    Finish(ConvertHostFile(env, args->directory, args->name, RecordKind::kConsumption));
  });

  auto* dump = app.add_subcommand("dump", "Show each record of a record file as its text line");
  dump->add_option("file", args->file, "Record file")->required();
  dump->add_flag("--consumption", args->consumption, "17-byte consumption records");
  dump->add_flag("--independent-tags", args->independentTags,
                 "Add both tag flags (per-terminal files), not 60 else 30");
  dump->add_option("--format", args->format,
                   "text: every position tried; csv or jsonl: one decoded record a line")
      ->transform(CLI::CheckedTransformer(
          std::map<std::string, DumpFormat>{{"text", DumpFormat::kText},
                                            {"csv", DumpFormat::kCsv},
                                            {"jsonl", DumpFormat::kJsonLines}},
          CLI::ignore_case));
  dump->callback([args] {
    std::ifstream in(args->file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", args->file.c_str());
      Finish(1);
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    if (args->consumption) {
      Finish(Dump(bytes, kConsumptionSize, args->format, [](const uint8_t* b) {
        const ConsumptionRecord r = DecodeConsumption(b);
        Reading reading{
            ConsumptionText(r),
            InvalidField(r),
            {{"date", "20" + Digits(r.year, 2) + "-" + Digits(r.month, 2) + "-" + Digits(r.day, 2),
              false},
             {"time", Digits(r.hour, 2) + ":" + Digits(r.minute, 2) + ":" + Digits(r.second, 2),
              false},
             {"type", std::to_string(r.type)},
             {"card", std::to_string(r.card)},
             {"value", std::to_string(r.Value())},
             {"count", std::to_string(r.PrintedCount())},
             {"sign", std::string(1, r.Sign()), false},
             {"device", std::to_string(r.Device())}}};
        if (reading.text.size() >= kConsumptionLineChars)
          reading.text += "  (stored cut to " + std::to_string(kConsumptionLineChars) + " bytes)";
        return reading;
      }));
    }
    const TagRule rule = args->independentTags ? TagRule::kIndependent : TagRule::kSixtyElseThirty;
    Finish(Dump(bytes, kRecordSize, args->format, [rule](const uint8_t* b) {
      const ClockingRecord r = DecodeRecord(b);
      return Reading{
          RecordLine(r, rule),
          InvalidField(r),
          {{"number", std::to_string(r.number)},
           {"date", Digits(r.year, 4) + "-" + Digits(r.month, 2) + "-" + Digits(r.day, 2), false},
           {"time", Digits(r.hour, 2) + ":" + Digits(r.minute, 2), false},
           {"tag", std::to_string(Tag(r, rule))}}};
    }));
  });
}

}  // namespace pclog
