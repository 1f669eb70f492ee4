// The serial download of 65,535 records from pclog-sim, paced at 57,600 baud
// over a pty, in real time.
//   transfer_efficiency: line time of the bytes the terminal sent between the
//     header and the end packet, over the time measured between them (the
//     host's turnaround is what keeps it below 1);
//   host_cpu_percent: CPU time of the whole call over the transfer time.
#include <benchmark/benchmark.h>
#include <time.h>

#include "download/packets.h"
#include "download/serial_download.h"
#include "platform/env.h"
#include "sim_process.h"

namespace {

constexpr uint32_t kRecords = 65535;
constexpr double kBaud = 57600;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Bytes the terminal sends after the header: the data packets and the end packet.
double LineSecondsAfterHeader(uint32_t records) {
  using namespace wpl::download;
  const uint64_t payload = uint64_t{records} * kRecordSize;
  const uint64_t packets = (payload + kMaxPayload - 1) / kMaxPayload;
  const uint64_t bytes = payload + packets * kPacketOverhead + kEndPacketSize;
  return static_cast<double>(bytes) * 10 / kBaud;
}

void BM_SerialDownload65535Paced(benchmark::State& state) {
  for (auto _ : state) {
    wpl::e2e::PortFolder ports;
    wpl::e2e::SimProcess sim(
        {"--link", ports.Port(1), "--records", std::to_string(kRecords), "--pace"}, ports.Port(1));
    wpl::Env& env = wpl::ProcessEnv();
    const double cpu0 = CpuSeconds();
    const auto report = wpl::download::SerialDownload(env, 1, 1);
    const double cpu = CpuSeconds() - cpu0;
    if (report.result != 0 || report.announced != kRecords) {
      state.SkipWithError("download failed");
      return;
    }
    // Timed from the complete header to the complete end packet; the line time
    // of the 8 header bytes is left out of both sides.
    const double measured =
        std::chrono::duration<double>(report.endReceived - report.headerStart).count();
    state.SetIterationTime(measured);
    state.counters["transfer_efficiency"] = LineSecondsAfterHeader(kRecords) / measured;
    state.counters["host_cpu_percent"] = 100 * cpu / measured;
    state.counters["records"] = static_cast<double>(report.payloadBytes / 6);
  }
}
BENCHMARK(BM_SerialDownload65535Paced)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
