// Long runs: serial and network downloads back to back from pclog-sim, each
// from a fresh terminal with random recoverable faults: serial, bad
// checksums, short packets, repeats and skipped sequence numbers on 5% of
// first sendings; network, up to three packets sent with a bad checksum one
// to three times. Not a timed test: what it proves is that nothing is lost
// or left behind.
//   downloads          downloads run (WPL_SOAK_DOWNLOADS each, default 1000);
//   failed             downloads that did not end complete;
//   records            records the terminals held, all downloads together;
//   records_lost       records missing or wrong in pclog.dat afterwards;
//   fd_growth          open descriptors at the end minus after the tenth;
//   rss_growth_kb      resident memory at the end minus after the tenth;
//   leftover_files     files in the data folder that no download should leave
//                      (anything but pclog.dat/.txt, the backups, the
//                      simulator's files).
// About 4 s a serial and 3 s a network download (the protocol's pauses and
// the conversion's one-second wait before its backup): a full run takes hours.
// Give it a copy of pclog-sim (WPL_PCLOG_SIM) when the build tree may be
// rebuilt meanwhile.
//   WPL_SOAK_DOWNLOADS=20 build/bench/soak_bench
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "download/network_download.h"
#include "download/serial_download.h"
#include "file_contents.h"
#include "platform/env.h"
#include "sim_process.h"

namespace {

namespace fs = std::filesystem;

struct Usage {
  double fds = 0, rssKb = 0;
};

Usage Measure() {
  Usage u;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++u.fds;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) u.rssKb = std::atof(line.c_str() + 6);
  return u;
}

int Downloads() {
  const char* n = std::getenv("WPL_SOAK_DOWNLOADS");
  return n && std::atoi(n) > 0 ? std::atoi(n) : 1000;
}

void Soak(benchmark::State& state, bool network) {
  for (auto _ : state) {
    wpl::e2e::PortFolder folder;
    const std::string dir = folder.dir() + "/";
    const std::string saved = dir + "terminal.dat", ready = dir + "ready";
    const char* ip = "127.0.44.1";
    std::mt19937 rng(network ? 2 : 1);
    const int downloads = Downloads();
    double failed = 0, records = 0, lost = 0;
    Usage tenth;
    for (int i = 0; i < downloads; ++i) {
      const uint32_t held = 1 + rng() % 600;
      const std::string seed = std::to_string(rng() % 100000);
      std::vector<std::string> args{"--records", std::to_string(held), "--seed",
                                    seed,        "--save-records",     saved};
      std::string readyPath = folder.Port(1);
      if (network) {
        // Over the network only a bad checksum is asked for again (at most
        // five times running); any other fault ends the transfer by design.
        const uint32_t packets = (held * 6 + 167) / 168;
        for (uint32_t k = rng() % 4; k > 0; --k)
          args.insert(args.end(),
                      {"--packet-fault", std::to_string(1 + rng() % packets) +
                                             ":bad-checksum:" + std::to_string(1 + rng() % 3)});
        args.insert(args.end(), {"--tcp", ip, "--ready", ready});
        readyPath = ready;
        fs::remove(ready);
      } else {
        args.insert(args.end(),
                    {"--link", folder.Port(1), "--random-faults", "0.05", "--fault-seed", seed});
      }
      wpl::e2e::SimProcess sim(args, readyPath);
      wpl::Env env = wpl::ProcessEnv();
      const auto report = network ? wpl::download::NetworkDownload(env, ip, {})
                                  : wpl::download::SerialDownload(env, 1, 1);
      sim.Stop();
      records += held;
      failed += !report.complete;
      const std::string want = wpl::testing::ReadFile(saved);
      const std::string got = wpl::testing::ReadFile(dir + "pclog.dat");
      // Each record the terminal held must stand in its place in pclog.dat.
      size_t kept = 0;
      for (size_t at = 0; at + 6 <= want.size() && at + 6 <= got.size(); at += 6)
        kept += want.compare(at, 6, got, at, 6) == 0;
      lost += static_cast<double>(want.size() / 6 - kept);
      if (i == 9) tenth = Measure();
    }
    const Usage end = Measure();
    const std::set<std::string> expected{"pclog.dat", "pclog.txt", "downbak", "terminal.dat",
                                         "ready"};
    double leftover = 0;
    for (const auto& e : fs::directory_iterator(folder.dir())) {
      const std::string name = e.path().filename().string();
      if (!expected.contains(name) && name.rfind("com", 0) != 0) ++leftover;
    }
    state.counters["downloads"] = downloads;
    state.counters["failed"] = failed;
    state.counters["records"] = records;
    state.counters["records_lost"] = lost;
    state.counters["fd_growth"] = downloads > 10 ? end.fds - tenth.fds : 0;
    state.counters["rss_growth_kb"] = downloads > 10 ? end.rssKb - tenth.rssKb : 0;
    state.counters["leftover_files"] = leftover;
  }
}

void BM_SoakSerial(benchmark::State& state) { Soak(state, false); }
void BM_SoakNetwork(benchmark::State& state) { Soak(state, true); }
BENCHMARK(BM_SoakSerial)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_SoakNetwork)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
