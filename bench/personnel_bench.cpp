// Loading 1,000 names into pclog-sim in real time, one call per name as
// `pclog names load` does: over loopback and to a pty at 57600 baud. Each
// call is set against what the protocol prescribes for it (the network
// name's pauses, 34 ms; the serial 30 ms settling pause and the line time of
// the frame, the block and the two ACKs):
//   names_per_second  names over the whole load;
//   prescribed_ms     the prescribed time of one call;
//   overhead_ms       the median call's time over it (targets: 2 network,
//                     5 serial). A pty carries bytes at once, so on a pty the
//                     overhead over the pauses alone is overhead_ms + line_ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "exports/results.h"
#include "link/lan_exports.h"
#include "link/serial_exports.h"
#include "personnel/personnel.h"
#include "platform/env.h"
#include "platform/full_write.h"
#include "sim_process.h"

namespace {

using wpl::Millis;
using wpl::Nanos;
using Clock = std::chrono::steady_clock;

constexpr const char* kIp = "127.0.30.1";
constexpr int kPort = 1;
constexpr int kNames = 1000;

double Ms(Nanos d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::vector<uint8_t> NameOf(int i) {
  const std::string s = "Person " + std::to_string(i);
  return {s.begin(), s.end()};
}

void BM_LoadNames(benchmark::State& state) {
  static wpl::e2e::SimSite site(kIp, kPort);
  const bool network = state.range(0) != 0;
  wpl::Env env = wpl::ProcessEnv();
  // "Person 1000": 11 name bytes, a block of 2 + 11 data bytes.
  Nanos prescribed{0}, line{0};
  if (network) {
    const auto& p = wpl::link::LanRow("_LANSENDNAME").pacing;
    prescribed =
        p.opening + p.beforeNak + p.afterNak + p.afterSuccess + p.afterFreeing + p.afterClosing;
  } else {
    line = wpl::LineTime(14 + 1 + (5 + 13) + 1, 57600, 1);
    prescribed = Millis{30} + line;
  }
  std::vector<double> overheads;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (int i = 1; i <= kNames; ++i) {
      const auto name = NameOf(i);
      const auto t0 = Clock::now();
      const int32_t r =
          network ? wpl::exports::DoneOrFailed(wpl::personnel::LanSendName(env, kIp, i, name))
                  : wpl::exports::DoneOrFailed(wpl::personnel::SendName(env, 1, kPort, i, name));
      if (r != 0) {
        state.SkipWithError("the terminal did not acknowledge a name");
        return;
      }
      overheads.push_back(Ms(Clock::now() - t0) - Ms(prescribed));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    state.counters["names_per_second"] = kNames / seconds;
  }
  std::sort(overheads.begin(), overheads.end());
  state.counters["prescribed_ms"] = Ms(prescribed);
  state.counters["line_ms"] = Ms(line);
  state.counters["overhead_ms"] = overheads[overheads.size() / 2];
}

BENCHMARK(BM_LoadNames)
    ->ArgName("network")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
