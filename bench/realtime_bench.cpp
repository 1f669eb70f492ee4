// Back-to-back real-time fetches from pclog-sim with records queued, over
// loopback TCP and over a pty paced at 57,600 baud, in real time.
//   records_per_s: records fetched a second, one call after another;
//   overhead_ms_median: the median call less what the protocol prescribes
//     (network: 1 + 20 + 10 + 1 + 1 + 25 ms of pauses; serial: 30 ms of
//     settling after the open and 10 ms after the close, plus the line time of
//     the terminal's 13 bytes, ACK and reply, which the simulator paces; a pty
//     carries the host's own writes at once).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "download/realtime.h"
#include "platform/env.h"
#include "sim_process.h"

namespace {

using Seconds = std::chrono::duration<double>;
constexpr int kCalls = 60;
constexpr double kNetworkPausesMs = 1 + 20 + 10 + 1 + 1 + 25;
constexpr double kSerialPausesMs = 30 + 10;
constexpr double kSerialLineMs = 13 * 10 * 1000.0 / 57600;

template <typename Fetch>
void Run(benchmark::State& state, double prescribedMs, Fetch&& fetch) {
  std::vector<double> calls;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const auto got = fetch();
    calls.push_back(Seconds(std::chrono::steady_clock::now() - t0).count() * 1000);
    if (got.outcome != wpl::download::RealtimeOutcome::kRecord) {
      state.SkipWithError("no record fetched");
      return;
    }
  }
  const double total = Seconds(std::chrono::steady_clock::now() - start).count();
  std::nth_element(calls.begin(), calls.begin() + calls.size() / 2, calls.end());
  state.counters["records_per_s"] = static_cast<double>(calls.size()) / total;
  state.counters["overhead_ms_median"] = calls[calls.size() / 2] - prescribedMs;
}

void BM_LanRealDownload(benchmark::State& state) {
  wpl::e2e::PortFolder dir;
  const std::string ready = dir.dir() + "/ready";
  wpl::e2e::SimProcess sim({"--tcp", "127.0.44.1", "--realtime-records", "1000", "--ready", ready},
                           ready);
  Run(state, kNetworkPausesMs, [] {
    wpl::Env env = wpl::ProcessEnv();
    return wpl::download::LanRealtimeFetch(env, "127.0.44.1");
  });
}
BENCHMARK(BM_LanRealDownload)->Iterations(kCalls)->Unit(benchmark::kMillisecond);

void BM_RealDownloadPaced(benchmark::State& state) {
  wpl::e2e::PortFolder ports;
  wpl::e2e::SimProcess sim({"--link", ports.Port(1), "--realtime-records", "1000", "--pace"},
                           ports.Port(1));
  Run(state, kSerialPausesMs + kSerialLineMs, [] {
    wpl::Env env = wpl::ProcessEnv();
    return wpl::download::SerialRealtimeFetch(env, 1, 1);
  });
}
BENCHMARK(BM_RealDownloadPaced)->Iterations(kCalls)->Unit(benchmark::kMillisecond);

}  // namespace
