// The network download over loopback from pclog-sim, in real time.
//
// BM_NetworkDownload131071: 131,071 records, not paced. Timed from the
//   complete header to the complete end packet (the pauses and the conversion
//   are outside). In the same run a minimal client and server exchange the
//   same packets over loopback, the client reading each by its length and
//   answering one byte, as the download does. Seven runs of each:
//     records_per_second     records over the median transfer time;
//     pingpong_ratio_median  median transfer time over the median
//                            ping-pong's (target <= 1.3);
//     pingpong_ratio_best    the same for the best runs.
// BM_LanDownload20Terminals: 20 terminals of 20,000 records each in one
//   pclog-sim, downloaded by `pclog lan-download` one after another and with
//   --parallel 20, wall time of the whole command each (pauses and
//   conversions included):
//     speedup             one after another over side by side.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "download/network_download.h"
#include "download/packets.h"
#include "platform/env.h"
#include "sim_process.h"

namespace {

using namespace wpl::download;
using SteadyClock = std::chrono::steady_clock;

constexpr uint32_t kRecords = 131071;

double Seconds(SteadyClock::duration d) { return std::chrono::duration<double>(d).count(); }

// No windows, no messages: nothing but the transfer.
class QuietUi : public wpl::Ui {
 public:
  void ShowMessage(const std::string&, const std::string&) override {}
  std::unique_ptr<wpl::ProgressView> OpenProgress(wpl::ProgressKind) override { return nullptr; }
};

// The sizes of the packets the terminal sends after the header: the data
// packets of up to 168 payload bytes, then the end packet.
std::vector<size_t> PacketSizes(uint32_t records) {
  std::vector<size_t> sizes;
  for (uint64_t left = uint64_t{records} * kRecordSize; left > 0;) {
    const size_t payload = static_cast<size_t>(std::min<uint64_t>(left, kMaxPayload));
    sizes.push_back(payload + kPacketOverhead);
    left -= payload;
  }
  sizes.push_back(kEndPacketSize);
  return sizes;
}

bool ReadExactly(int fd, uint8_t* out, size_t n) {
  for (size_t got = 0; got < n;) {
    const ssize_t r = ::recv(fd, out + got, n - got, 0);
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

bool SendAll(int fd, const uint8_t* bytes, size_t n) {
  return ::send(fd, bytes, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
}

// The least a download can cost: the server sends the header, then each
// packet once the client's byte has come; the client reads each packet by its
// length (five bytes, then the rest) and answers one byte. Returns the time
// from the complete header to the complete end packet.
double PingPong(const std::vector<size_t>& sizes) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  ::inet_pton(AF_INET, "127.0.4.2", &sa.sin_addr);
  socklen_t len = sizeof sa;
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&sa), len) != 0 || ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
    throw std::runtime_error("ping-pong server cannot listen");
  std::thread server([&] {
    const int fd = ::accept(listener, nullptr, nullptr);
    uint8_t packet[kReceiveBufferSize] = {0x02, 0x00, 0xFF, 0x03, 0xFC};
    uint8_t answer = 0;
    bool ok = SendAll(fd, packet, kHeaderSize);
    for (size_t i = 0; ok && i < sizes.size(); ++i) {
      ok = ReadExactly(fd, &answer, 1);
      packet[1] = static_cast<uint8_t>(i + 1);
      packet[3] = static_cast<uint8_t>(sizes[i] - kPacketOverhead);
      ok = ok && SendAll(fd, packet, sizes[i]);
    }
    ReadExactly(fd, &answer, 1);
    ::close(fd);
  });
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const uint8_t answer = 0x06;
  uint8_t packet[kReceiveBufferSize];
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), len) == 0 &&
            ReadExactly(fd, packet, kHeaderSize);
  const auto start = SteadyClock::now();
  for (size_t i = 0; ok && i < sizes.size(); ++i) {
    ok = SendAll(fd, &answer, 1) && ReadExactly(fd, packet, 5) &&
         ReadExactly(fd, packet + 5, packet[3] + kPacketOverhead - 5);
  }
  const auto end = SteadyClock::now();
  SendAll(fd, &answer, 1);
  server.join();
  ::close(fd);
  ::close(listener);
  if (!ok) throw std::runtime_error("ping-pong broke off");
  return Seconds(end - start);
}

// The transfer time of one download of kRecords from a fresh simulator, or
// a negative time when it failed.
double TimedDownload() {
  wpl::e2e::PortFolder dir;
  const std::string ready = dir.dir() + "/ready";
  wpl::e2e::SimProcess sim(
      {"--tcp", "127.0.4.1", "--records", std::to_string(kRecords), "--ready", ready}, ready);
  QuietUi ui;
  wpl::Env env = wpl::ProcessEnv();
  env.ui = &ui;
  const DownloadReport report = NetworkDownload(env, "127.0.4.1", {});
  if (!report.complete || report.payloadBytes != uint64_t{kRecords} * kRecordSize) return -1;
  return Seconds(report.endReceived - report.headerStart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Loopback round trips vary from run to run with where the scheduler puts
// the two ends; the best and the median of several runs of each are
// compared.
void BM_NetworkDownload131071(benchmark::State& state) {
  constexpr int kRuns = 7;
  const std::vector<size_t> sizes = PacketSizes(kRecords);
  for (auto _ : state) {
    std::vector<double> downloads, pingPongs;
    for (int i = 0; i < kRuns; ++i) {
      downloads.push_back(TimedDownload());
      pingPongs.push_back(PingPong(sizes));
      if (downloads.back() < 0) {
        state.SkipWithError("download failed");
        return;
      }
    }
    const double best = *std::min_element(downloads.begin(), downloads.end());
    const double bestPingPong = *std::min_element(pingPongs.begin(), pingPongs.end());
    state.SetIterationTime(Median(downloads));
    state.counters["records_per_second"] = kRecords / Median(downloads);
    state.counters["best_records_per_second"] = kRecords / best;
    state.counters["pingpong_ratio_median"] = Median(downloads) / Median(pingPongs);
    state.counters["pingpong_ratio_best"] = best / bestPingPong;
  }
}
BENCHMARK(BM_NetworkDownload131071)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// `pclog lan-download` of the terminals with --parallel K against a fresh
// simulator: the wall time of the command.
double DownloadAll(const std::vector<std::string>& ips, uint32_t records, int parallel) {
  wpl::e2e::PortFolder dir;
  const std::string ready = dir.dir() + "/ready";
  std::vector<std::string> args = {"--records", std::to_string(records), "--ready", ready};
  std::string command = std::string(PCLOG_CLI) + " lan-download";
  for (const auto& ip : ips) {
    args.insert(args.end(), {"--tcp", ip});
    command += " " + ip;
  }
  command += " --parallel " + std::to_string(parallel) + " > /dev/null 2>&1";
  wpl::e2e::SimProcess sim(args, ready);
  const auto start = SteadyClock::now();
  const int status = std::system(command.c_str());
  const double took = Seconds(SteadyClock::now() - start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("a download failed: " + command);
  return took;
}

void BM_LanDownload20Terminals(benchmark::State& state) {
  constexpr uint32_t kEach = 20000;
  std::vector<std::string> ips;
  for (int i = 11; i <= 30; ++i) ips.push_back("127.0.4." + std::to_string(i));
  for (auto _ : state) {
    const double oneByOne = DownloadAll(ips, kEach, 1);
    const double sideBySide = DownloadAll(ips, kEach, static_cast<int>(ips.size()));
    state.SetIterationTime(sideBySide);
    state.counters["one_by_one_s"] = oneByOne;
    state.counters["parallel_s"] = sideBySide;
    state.counters["speedup"] = oneByOne / sideBySide;
    state.counters["records_per_second"] = double{kEach} * ips.size() / sideBySide;
  }
}
BENCHMARK(BM_LanDownload20Terminals)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
