// The conversion core on 10 million clocking records (60 MB) with a sprinkling
// of stray bytes and invalid records, against the time it takes to write a
// file of the output's size with one large write. The fixed pauses of the
// conversion are not part of the core and not measured here.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "memory_file.h"
#include "platform/system.h"
#include "records/record_scan.h"

namespace {

using namespace wpl;
using namespace wpl::records;

constexpr size_t kRecords = 10'000'000;

// The record file, made once per run in a temporary folder removed at exit.
struct Fixture {
  std::string dir, recordFile, textFile, plainFile;
  std::vector<uint8_t> records;

  Fixture() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "wpl-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    dir = tmpl + "/";
    recordFile = dir + "pclog.dat";
    textFile = dir + "pclog.txt";
    plainFile = dir + "plain.txt";

    std::mt19937 rng(2009);
    records.reserve(kRecords * kRecordSize + kRecords / 500);
    for (size_t i = 0; i < kRecords; ++i) {
      const uint32_t x = rng(), y = rng();
      uint8_t rec[kRecordSize] = {
          static_cast<uint8_t>(x >> 24),
          static_cast<uint8_t>(x >> 16),
          static_cast<uint8_t>((5 + y % 11) << 4 | (1 + (y >> 4) % 12)),
          static_cast<uint8_t>((x >> 8 & 0xC0) | (1 + (y >> 8) % 31)),
          static_cast<uint8_t>((x & 0xE0) | (y >> 13) % 24),
          static_cast<uint8_t>((x << 2 & 0xC0) | (y >> 18) % 60),
      };
      if (i % 997 == 0) rec[4] |= 0x1F;  // hour 31: an invalid record
      records.insert(records.end(), rec, rec + kRecordSize);
      if (i % 1009 == 0) records.push_back(0xFF);  // a stray byte
    }
    SystemFileSystem files;
    auto out = files.Create(recordFile);
    if (!out || !out->Write(records)) throw std::runtime_error("cannot write the record file");
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Fixture& TheFixture() {
  static Fixture f;
  return f;
}

// Output that goes nowhere and input from memory: the decoding and
// formatting alone.
class NullSink : public File {
 public:
  int64_t Read(std::span<uint8_t>) override { return -1; }
  bool Write(std::span<const uint8_t> bytes) override {
    benchmark::DoNotOptimize(bytes.data());
    written += bytes.size();
    return true;
  }
  bool Seek(int64_t) override { return false; }
  int64_t Size() override { return static_cast<int64_t>(written); }
  size_t written = 0;
};

void BM_ConvertCoreInMemory(benchmark::State& state) {
  Fixture& f = TheFixture();
  testing::MemoryFile in(f.records);
  uint64_t lines = 0;
  for (auto _ : state) {
    in.Seek(0);
    NullSink out;
    const ScanOutcome r = ConvertClockingRecords(in, out, TagRule::kSixtyElseThirty);
    if (!r.ok()) state.SkipWithError("scan failed");
    lines += r.lines;
  }
  state.SetItemsProcessed(static_cast<int64_t>(lines));
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Record file to text file on disk, and in the same iteration (not counted in
// the benchmark's time) one write of a buffer the size of the text file.
void BM_ConvertFileVsOneWrite(benchmark::State& state) {
  Fixture& f = TheFixture();
  SystemFileSystem files;
  uint64_t lines = 0;
  double convertTotal = 0, writeTotal = 0;
  std::vector<uint8_t> plain;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    auto in = files.OpenRead(f.recordFile);
    auto out = files.Create(f.textFile);
    if (!in || !out) {
      state.SkipWithError("cannot open the files");
      break;
    }
    const ScanOutcome r = ConvertClockingRecords(*in, *out, TagRule::kSixtyElseThirty);
    in.reset();
    out.reset();
    const double convert = Seconds(std::chrono::steady_clock::now() - t0);
    if (!r.ok()) state.SkipWithError("scan failed");
    lines += r.lines;

    if (plain.empty()) plain.assign(r.lines * kLineBytes, 'x');
    t0 = std::chrono::steady_clock::now();
    auto once = files.Create(f.plainFile);
    if (!once || !once->Write(plain)) state.SkipWithError("cannot write");
    once.reset();
    const double write = Seconds(std::chrono::steady_clock::now() - t0);

    state.SetIterationTime(convert);
    convertTotal += convert;
    writeTotal += write;
  }
  state.SetItemsProcessed(static_cast<int64_t>(lines));
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(lines) / convertTotal);
  state.counters["one_write_ms"] =
      benchmark::Counter(1000 * writeTotal / static_cast<double>(state.iterations()));
  state.counters["x_one_write"] = benchmark::Counter(convertTotal / writeTotal);
}

BENCHMARK(BM_ConvertCoreInMemory)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ConvertFileVsOneWrite)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3);

}  // namespace
