#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "commands.h"
#include "records/consumption_record.h"
#include "records/conversion.h"

namespace pclog {
namespace {

using namespace wpl::records;

struct Reading {
  std::string text;
  const char* invalid;  // the failing field, or nullptr
};

// Walks the file as the conversion does: a valid record moves the walk past
// it, an invalid one one byte on. Every position tried is printed with its
// bytes and what they decode to.
template <class Read>
int Dump(const std::vector<uint8_t>& bytes, size_t size, Read read) {
  size_t pos = 0, lines = 0, rejected = 0;
  while (pos + size <= bytes.size()) {
    const Reading r = read(bytes.data() + pos);
    std::printf("%08zu ", pos);
    for (size_t i = 0; i < size; ++i) std::printf(" %02X", bytes[pos + i]);
    if (r.invalid) {
      std::printf("  invalid %-11s %s\n", r.invalid, r.text.c_str());
      ++rejected;
      ++pos;
    } else {
      std::printf("  %s\n", r.text.c_str());
      ++lines;
      pos += size;
    }
  }
  if (pos < bytes.size())
    std::printf("%08zu  %zu trailing bytes, not a whole record\n", pos, bytes.size() - pos);
  std::printf("%zu lines, %zu positions rejected\n", lines, rejected);
  return 0;
}

}  // namespace

void AddConversions(CLI::App& app, wpl::Env& env) {
  struct Args {
    std::string directory, name, file;
    bool consumption = false;
    bool independentTags = false;
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
    Finish(ConvertHostFile(env, args->directory, args->name, RecordKind::kClocking));
  });
  convertXf->callback([args, &env] {
    Finish(ConvertHostFile(env, args->directory, args->name, RecordKind::kConsumption));
  });

  auto* dump = app.add_subcommand("dump", "Show each record of a record file as its text line");
  dump->add_option("file", args->file, "Record file")->required();
  dump->add_flag("--consumption", args->consumption, "17-byte consumption records");
  dump->add_flag("--independent-tags", args->independentTags,
                 "Add both tag flags (per-terminal files), not 60 else 30");
  dump->callback([args] {
    std::ifstream in(args->file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", args->file.c_str());
      Finish(1);
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    if (args->consumption) {
      Finish(Dump(bytes, kConsumptionSize, [](const uint8_t* b) {
        const ConsumptionRecord r = DecodeConsumption(b);
        Reading reading{ConsumptionText(r), InvalidField(r)};
        if (reading.text.size() >= kConsumptionLineChars)
          reading.text += "  (stored cut to " + std::to_string(kConsumptionLineChars) + " bytes)";
        return reading;
      }));
    }
    const TagRule rule = args->independentTags ? TagRule::kIndependent : TagRule::kSixtyElseThirty;
    Finish(Dump(bytes, kRecordSize, [rule](const uint8_t* b) {
      const ClockingRecord r = DecodeRecord(b);
      return Reading{RecordLine(r, rule), InvalidField(r)};
    }));
  });
}

}  // namespace pclog
