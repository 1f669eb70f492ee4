// The serial download of 65,535 records from pclog-sim, paced at 57,600 baud
// over a pty, in real time; the figures are those of paced_download.h.
#include "download/serial_download.h"
#include "paced_download.h"

namespace {

constexpr uint32_t kRecords = 65535;

void BM_SerialDownload65535Paced(benchmark::State& state) {
  wpl::bench::MeasurePacedDownload(
      state, {"--records", std::to_string(kRecords), "--pace"}, kRecords, 57600,
      [](wpl::Env& env) { return wpl::download::SerialDownload(env, 1, 1); });
}
BENCHMARK(BM_SerialDownload65535Paced)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
