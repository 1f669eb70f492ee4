// The modem download of 65,535 records through pclog-sim's modem, which
// passes the terminal's bytes on at the pace of its 9600-baud line, over a
// pty, in real time (about 7 minutes); the figures are those of
// paced_download.h.
#include "download/modem_download.h"
#include "paced_download.h"

namespace {

constexpr uint32_t kRecords = 65535;

void BM_ModemDownload65535At9600(benchmark::State& state) {
  wpl::bench::MeasurePacedDownload(
      state, {"--modem", "--dial", "5551234", "--records", std::to_string(kRecords)}, kRecords,
      9600, [](wpl::Env& env) { return wpl::download::ModemDownload(env, 1, 1, "5551234"); });
}
BENCHMARK(BM_ModemDownload65535At9600)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
