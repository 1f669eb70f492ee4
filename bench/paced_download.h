// A download of pclog-sim's records over a pty, its terminal sending at the
// pace of a line of `baud`, measured in real time:
//   transfer_efficiency: line time of the bytes the terminal sent between the
//     header and the end packet, over the time measured between them (the
//     host's turnaround is what keeps it below 1);
//   host_cpu_percent: CPU time of the whole call (pauses and conversion
//     included) over the transfer time.
#pragma once
#include <benchmark/benchmark.h>
#include <time.h>

#include <string>
#include <vector>

#include "download/download_report.h"
#include "download/packets.h"
#include "platform/env.h"
#include "sim_process.h"

namespace wpl::bench {

inline double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Bytes the terminal sends after the header: the data packets and the end packet.
inline double LineSecondsAfterHeader(uint32_t records, double baud) {
  using namespace wpl::download;
  const uint64_t payload = uint64_t{records} * kRecordSize;
  const uint64_t packets = (payload + kMaxPayload - 1) / kMaxPayload;
  const uint64_t bytes = payload + packets * kPacketOverhead + kEndPacketSize;
  return static_cast<double>(bytes) * 10 / baud;
}

// Runs pclog-sim on port 1 with `simArgs` and `download` (Env&) -> report
// against it, once per iteration.
template <typename Download>
void MeasurePacedDownload(benchmark::State& state, const std::vector<std::string>& simArgs,
                          uint32_t records, double baud, Download&& download) {
  for (auto _ : state) {
    wpl::e2e::PortFolder ports;
    std::vector<std::string> args = {"--link", ports.Port(1)};
    args.insert(args.end(), simArgs.begin(), simArgs.end());
    wpl::e2e::SimProcess sim(args, ports.Port(1));
    wpl::Env env = wpl::ProcessEnv();
    const double cpu0 = CpuSeconds();
    const download::DownloadReport report = download(env);
    const double cpu = CpuSeconds() - cpu0;
    if (!report.complete || report.announced != records) {
      state.SkipWithError("download failed");
      return;
    }
    // Timed from the complete header to the complete end packet; the line time
    // of the 8 header bytes is left out of both sides.
    const double measured =
        std::chrono::duration<double>(report.endReceived - report.headerStart).count();
    state.SetIterationTime(measured);
    state.counters["transfer_efficiency"] = LineSecondsAfterHeader(records, baud) / measured;
    state.counters["host_cpu_percent"] = 100 * cpu / measured;
    state.counters["records"] = static_cast<double>(report.payloadBytes / 6);
  }
}

}  // namespace wpl::bench
