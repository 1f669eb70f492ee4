// A 100 KiB fingerprint backup received from pclog-sim and sent back to it
// over a pty, in real time, at 19200 baud with two stop bits. The simulated
// module paces what it sends at the line speed (--pace).
//
// Each transfer is set against what the protocol prescribes for it: 1 ms
// after every host byte, the fixed pauses, and the line time of every byte
// the module sends. That figure comes from the very same transfer run in
// virtual time against the same terminal model, where the host's bytes cross
// at once (as they do on a pty) and only the pauses and the module's paced
// bytes take time.
//   seconds        the transfer's wall time;
//   prescribed_s   the same in virtual time;
//   ratio          seconds / prescribed_s (target: at most 1.1).
// About six minutes:
//   build/bench/backup_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "file_contents.h"
#include "fingerprint/backup.h"
#include "rigs.h"
#include "sim_process.h"

namespace {

using namespace wpl::fingerprint;
using Clock = std::chrono::steady_clock;

constexpr int kPort = 2;
constexpr size_t kSize = 100 * 1024;
constexpr uint32_t kSeed = 11;

double Seconds(wpl::Nanos d) { return std::chrono::duration<double>(d).count(); }

// The receive, then the send of what it brought, in virtual time: the
// prescribed time of each.
std::pair<double, double> Prescribed() {
  wpl::sim::TerminalConfig config;
  config.backupOnly = true;
  config.pace = true;
  config.backup.store = wpl::sim::BackupModule::MakeStore(kSize, kSeed);
  wpl::testing::SerialRig rig(config, kPort);
  wpl::testing::VirtualEnv& v = rig.v;
  const wpl::Nanos start = v.clock.Now();
  if (ReceiveBackup(v.env, kPort) != BackupOutcome::kDone) return {0, 0};
  const wpl::Nanos received = v.clock.Now();
  if (SendBackup(v.env, kPort) != BackupOutcome::kDone) return {0, 0};
  return {Seconds(received - start), Seconds(v.clock.Now() - received)};
}

struct Site {
  wpl::e2e::PortFolder ports;
  wpl::e2e::SimProcess sim{{"--link", ports.Port(kPort), "--backup-mode", "--pace", "--backup-size",
                            std::to_string(kSize), "--backup-seed", std::to_string(kSeed)},
                           ports.Port(kPort)};
};

void BM_Backup(benchmark::State& state) {
  static Site site;
  static const auto prescribed = Prescribed();
  const bool send = state.range(0) != 0;
  wpl::Env env = wpl::ProcessEnv();
  const std::string zwbak = site.ports.dir() + "/zwbak.txt";
  double seconds = 0;
  for (auto _ : state) {
    // A send needs a backup to send: one received before, untimed.
    if (send && !std::filesystem::exists(zwbak) &&
        ReceiveBackup(env, kPort) != BackupOutcome::kDone) {
      state.SkipWithError("the receive before the send failed");
      return;
    }
    const auto start = Clock::now();
    const BackupOutcome outcome = send ? SendBackup(env, kPort) : ReceiveBackup(env, kPort);
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (outcome != BackupOutcome::kDone) {
      state.SkipWithError(OutcomeText(outcome));
      return;
    }
    state.SetIterationTime(seconds);
  }
  const double due = send ? prescribed.second : prescribed.first;
  state.counters["seconds"] = seconds;
  state.counters["prescribed_s"] = due;
  state.counters["ratio"] = due > 0 ? seconds / due : 0;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
BENCHMARK(BM_Backup)->ArgName("send")->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(
    benchmark::kSecond);

}  // namespace
