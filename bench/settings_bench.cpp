// Every settings export against pclog-sim, in real time: the serial ones on
// a pty at 57600 baud, the network ones over loopback. Each call's wall time
// is set against the time the protocol prescribes for it (the 30 ms settling
// pause, the pauses and holds of its row, the line time of the frame, the
// block and the ACKs; the terminal answers at once), so what is left is the
// library's own overhead:
//   prescribed_ms  the prescribed time of one call;
//   median_ms      the median wall time of the calls;
//   overhead_ms    median_ms - prescribed_ms (targets: 5 serial, 2 network);
//   line_ms        the line time within prescribed_ms. A pty carries bytes
//                  at once, whatever the speed, so on a pty the overhead
//                  over the pauses alone is overhead_ms + line_ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "exports/results.h"
#include "link/block_plan.h"
#include "link/lan_exports.h"
#include "platform/env.h"
#include "platform/full_write.h"
#include "settings/line_speed.h"
#include "settings/settings.h"
#include "sim_process.h"

namespace {

using wpl::Millis;
using wpl::Nanos;
using Clock = std::chrono::steady_clock;

constexpr const char* kIp = "127.0.26.1";
constexpr int kPort = 1;
constexpr uint32_t kBaud = 57600;

// One simulator for every benchmark: a terminal on a pty, one on loopback.

wpl::e2e::SimSite& TheSite() {
  static wpl::e2e::SimSite site(kIp, kPort);
  return site;
}

double Ms(Nanos d) { return std::chrono::duration<double, std::milli>(d).count(); }

Nanos PausesOf(const wpl::link::BlockPlan& plan) {
  Nanos total{0};
  for (const auto& s : plan.steps) total += s.pause;
  return total;
}

// The line time of one acknowledged serial call: the frame, its ACK, the
// block and its ACK.
Nanos LineOf(const wpl::settings::Setting& s, const std::vector<uint8_t>& payload) {
  if (s.network()) return Nanos{0};
  const auto& row = wpl::link::SerialRow(s.name);
  const auto plan = wpl::link::PlanBlock(payload, row.block, row.pacing);
  return wpl::LineTime(14 + 1 + plan.bytes.size() + (plan.bytes.empty() ? 0 : 1), kBaud, 1);
}

// What the protocol prescribes for one acknowledged call.
Nanos Prescribed(const wpl::settings::Setting& s, const std::vector<uint8_t>& payload) {
  using namespace wpl::link;
  if (s.network()) {
    const LanExport& row = LanRow(s.name);
    const LanPacing& p = row.pacing;
    const auto plan = PlanBlock(payload, row.block, p.Block());
    Nanos t = p.opening + p.afterSuccess + p.afterFreeing + p.afterClosing;
    if (row.hold > Millis{0}) t += row.hold + Millis{1};
    return t + PausesOf(plan);
  }
  const SerialExport& row = SerialRow(s.name);
  const auto plan = PlanBlock(payload, row.block, row.pacing);
  Nanos t = Millis{30} + row.closingPause + LineOf(s, payload) + PausesOf(plan);
  if (row.hold > Millis{0}) t += row.hold + Millis{1};
  return t;
}

void Report(benchmark::State& state, std::vector<double> samples, double prescribed, double line) {
  std::sort(samples.begin(), samples.end());
  const double median = samples[samples.size() / 2];
  state.counters["prescribed_ms"] = prescribed;
  state.counters["line_ms"] = line;
  state.counters["median_ms"] = median;
  state.counters["overhead_ms"] = median - prescribed;
}

void BM_Setting(benchmark::State& state, const wpl::settings::Setting* s) {
  TheSite();
  wpl::Env env = wpl::ProcessEnv();
  const std::vector<int32_t> values(static_cast<size_t>(s->values), 1);
  const auto payload = wpl::settings::PayloadFor(*s, values);
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = Clock::now();
    const int32_t r =
        s->network()
            ? wpl::exports::DoneOrFailed(wpl::settings::RunLanSetting(env, *s, kIp, values))
            : wpl::exports::DoneOrFailed(
                  wpl::settings::RunSerialSetting(env, *s, 1, kPort, values));
    const Nanos took = Clock::now() - start;
    if (r != 0) {
      state.SkipWithError("the terminal did not acknowledge");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(took).count());
    samples.push_back(Ms(took));
  }
  Report(state, samples, Ms(Prescribed(*s, payload)), Ms(LineOf(*s, payload)));
}

void BM_SetBaudRate(benchmark::State& state) {
  TheSite();
  std::vector<double> samples;
  const std::array<int32_t, 12> request{};
  for (auto _ : state) {
    const auto start = Clock::now();
    // Code 7 keeps the terminal at 57600, the first speed tried.
    wpl::Env env = wpl::ProcessEnv();
    const auto r = wpl::settings::SetBaudRate(env, kPort, 7, request);
    const Nanos took = Clock::now() - start;
    if (!r.answered || r.attempts != 1) {
      state.SkipWithError("the terminal did not answer at 57600");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(took).count());
    samples.push_back(Ms(took));
  }
  const size_t bytes = wpl::settings::kPreambleSize + wpl::settings::kSpeedRequestSize + 1;
  const Nanos line = wpl::LineTime(bytes, kBaud, 1);
  Report(state, samples, Ms(Millis{30} + line), Ms(line));
}

// The exports that hold for seconds run a few times; the others more.
const int kRegistered = [] {
  for (const auto& s : wpl::settings::kSettings) {
    const bool holds = s.network() ? wpl::link::LanRow(s.name).hold > Millis{0}
                                   : wpl::link::SerialRow(s.name).hold > Millis{0};
    benchmark::RegisterBenchmark(std::string(s.name).c_str(), BM_Setting, &s)
        ->Iterations(holds ? 3 : 21)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("_SETBAUDRATE", BM_SetBaudRate)
      ->Iterations(21)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  return 0;
}();

}  // namespace
