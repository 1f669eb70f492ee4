// pclog watch: polls terminals with the real-time fetch and prints each
// record as it arrives, as text or as JSON lines, until interrupted. A site
// feeds its clockings to another system live this way, without bulk
// downloads.
//
// Each poll drains the terminal: it fetches until the terminal has nothing
// more, then waits the interval. Network terminals are polled each on a
// thread of its own, so a silent one does not hold up the others; serial
// terminals share their lines and are polled one after another on one
// thread. The twenty zeros (nothing, or a failure) are never printed.
//
// A terminal that misses the host's acknowledgement sends the same record
// again; the same record twice in a row from one terminal is therefore
// printed once (--keep-repeats prints both).
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "download/realtime.h"
#include "link/ipv4_text.h"

namespace pclog {
namespace {

using wpl::download::RealtimeFetch;
using wpl::download::RealtimeOutcome;

std::atomic<bool> g_interrupted{false};
void OnSignal(int) { g_interrupted = true; }

struct Terminal {
  std::string label;
  std::string ip;  // empty: serial
  int address = 1;
  int port = 1;
  std::string last;  // the text of the last record printed
};

struct WatchOptions {
  std::vector<std::string> ips;
  std::vector<int> addresses;
  int port = 1;
  int intervalMs = 1000;
  bool json = false;
  bool keepRepeats = false;
  uint64_t count = 0;  // 0: until interrupted
};

// The fields of the real-time text, by position.
int Field(const std::string& text, size_t at, size_t width) {
  return std::stoi(text.substr(at, width));
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char out[32];
  std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return out;
}

class Printer {
 public:
  explicit Printer(const WatchOptions& o) : options_(o) {}
  // Prints a record; false once the count asked for is reached.
  bool Print(const Terminal& t, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (Done()) return false;
    char fields[96];
    std::snprintf(fields, sizeof fields, "%d %04d-%02d-%02d %02d:%02d tag %d", Field(text, 0, 6),
                  Field(text, 6, 4), Field(text, 10, 2), Field(text, 12, 2), Field(text, 14, 2),
                  Field(text, 16, 2), Field(text, 18, text.size() - 18));
    if (options_.json) {
      const Json record = {{"terminal", t.label},
                           {"text", text},
                           {"number", Field(text, 0, 6)},
                           {"year", Field(text, 6, 4)},
                           {"month", Field(text, 10, 2)},
                           {"day", Field(text, 12, 2)},
                           {"hour", Field(text, 14, 2)},
                           {"minute", Field(text, 16, 2)},
                           {"tag", Field(text, 18, text.size() - 18)},
                           {"received", UtcNow()}};
      std::printf("%s\n", JsonText(record).c_str());
    } else {
      std::printf("%s %s  %s\n", t.label.c_str(), text.c_str(), fields);
    }
    std::fflush(stdout);
    ++printed_;
    return !Done();
  }
  bool Done() const { return options_.count > 0 && printed_ >= options_.count; }

 private:
  const WatchOptions& options_;
  std::mutex mutex_;
  uint64_t printed_ = 0;
};

bool Stopping(Printer& p) { return g_interrupted.load() || p.Done(); }

// Fetches until the terminal has nothing more (or the watch ends).
void Drain(Terminal& t, Printer& printer, bool keepRepeats) {
  while (!Stopping(printer)) {
    wpl::Env env = wpl::ProcessEnv();
    const RealtimeFetch got = t.ip.empty()
                                  ? wpl::download::SerialRealtimeFetch(env, t.address, t.port)
                                  : wpl::download::LanRealtimeFetch(env, t.ip.c_str());
    if (got.outcome != RealtimeOutcome::kRecord) return;
    if (!keepRepeats && got.text == t.last) continue;
    t.last = got.text;
    if (!printer.Print(t, got.text)) return;
  }
}

void Poll(std::vector<Terminal*> terminals, Printer& printer, const WatchOptions& o) {
  while (!Stopping(printer)) {
    for (Terminal* t : terminals) Drain(*t, printer, o.keepRepeats);
    // The interval in short steps, so that an interrupt ends it at once.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(o.intervalMs);
    while (!Stopping(printer) && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(o.intervalMs, 20)));
  }
}

void Watch(const WatchOptions& o) {
  std::vector<Terminal> terminals;
  for (const std::string& ip : o.ips) {
    if (!wpl::link::ParseIpv4(ip.c_str()))
      throw CLI::ValidationError("--ip", "not an IPv4 address: " + ip);
    terminals.push_back({ip, ip});
  }
  for (int a : o.addresses)
    terminals.push_back(
        {"serial:" + std::to_string(a) + "@" + std::to_string(o.port), "", a, o.port});
  if (terminals.empty()) throw CLI::ValidationError("watch", "give --ip or --address");
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  Printer printer(o);
  std::vector<Terminal*> serial;
  std::vector<std::thread> threads;
  for (Terminal& t : terminals) {
    if (t.ip.empty())
      serial.push_back(&t);
    else
      threads.emplace_back(Poll, std::vector<Terminal*>{&t}, std::ref(printer), std::cref(o));
  }
  if (!serial.empty()) threads.emplace_back(Poll, serial, std::ref(printer), std::cref(o));
  for (auto& th : threads) th.join();
}

}  // namespace

void AddWatch(CLI::App& app) {
  auto* sub =
      app.add_subcommand("watch",
                         "Poll terminals for real-time records and print each as it arrives, until "
                         "interrupted");
  auto o = std::make_shared<WatchOptions>();
  sub->add_option("--ip", o->ips, "A network terminal (TCP port 1024); repeat for several");
  sub->add_option("--address", o->addresses, "A serial terminal's address; repeat for several")
      ->check(CLI::Range(0, 255));
  sub->add_option("--port", o->port, "The port the serial terminals' search starts from (1..6)")
      ->check(CLI::Range(1, 6))
      ->capture_default_str();
  sub->add_option("--interval-ms", o->intervalMs, "Pause between polls of a terminal")
      ->check(CLI::Range(1, 3'600'000))
      ->capture_default_str();
  sub->add_flag("--json", o->json, "One JSON object a line instead of text");
  sub->add_flag("--keep-repeats", o->keepRepeats,
                "Print a record that comes twice in a row from one terminal twice");
  sub->add_option("--count", o->count, "End after this many records (0: until interrupted)");
  sub->callback([o] { Watch(*o); });
}

}  // namespace pclog
