// The collector on a simulated site: 200 network terminals of 1,000 records
// each and 4 serial terminals, collected once into SQLite and once into a
// PostgreSQL server of the benchmark's own. Reports the wall time against
// the protocol's own time for that work at the parallelism used, records
// stored per second, and the peak memory; and the store alone, batches of
// 1,000 records committed back to back. Run by hand (about a minute):
//   build/bench/collect_bench [terminals] [records] [parallel]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>

#include "collector.h"
#include "pg_server.h"
#include "sim_process.h"
#include "virtual_env.h"

namespace {

// The simulators print their state when they stop: the figures are kept
// and printed at the end.
std::vector<std::string> g_lines;
template <class... A>
void Say(const char* format, A... a) {
  char text[512];
  std::snprintf(text, sizeof text, format, a...);
  g_lines.push_back(text);
}

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

long PeakKib() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

struct Site {
  Site(int terminals, int records, int serial) {
    std::vector<std::string> args{"--records", std::to_string(records), "--ready",
                                  ports.dir() + "/ready-net"};
    for (int i = 0; i < terminals; ++i) {
      args.push_back("--tcp");
      args.push_back(Ip(i));
    }
    sims.push_back(std::make_unique<wpl::e2e::SimProcess>(args, ports.dir() + "/ready-net"));
    for (int p = 1; p <= serial; ++p)
      sims.push_back(std::make_unique<wpl::e2e::SimProcess>(
          std::vector<std::string>{"--link", ports.Port(p), "--records", std::to_string(records),
                                   "--seed", std::to_string(p + 1), "--ready",
                                   ports.dir() + "/ready" + std::to_string(p)},
          ports.dir() + "/ready" + std::to_string(p)));
  }
  static std::string Ip(int i) {
    return "127.0." + std::to_string(80 + i / 250) + "." + std::to_string(1 + i % 250);
  }
  wpl::e2e::PortFolder ports;
  std::vector<std::unique_ptr<wpl::e2e::SimProcess>> sims;
};

collect::SiteConfig SiteConfig(int terminals, int serial, int parallel, const std::string& spool) {
  collect::SiteConfig c;
  c.site = "bench";
  c.spool = spool;
  c.parallel = parallel;
  for (int i = 0; i < terminals; ++i) {
    collect::TerminalConfig t;
    t.id = "net-" + std::to_string(i);
    t.ip = Site::Ip(i);
    t.every = std::chrono::seconds(600);
    c.terminals.push_back(t);
  }
  for (int p = 1; p <= serial; ++p) {
    collect::TerminalConfig t;
    t.id = "com-" + std::to_string(p);
    t.link = collect::LinkKind::kSerial;
    t.port = p;
    t.every = std::chrono::seconds(600);
    c.terminals.push_back(t);
  }
  return c;
}

void CollectSite(const std::string& name, const std::string& url, int terminals, int records,
                 int serial, int parallel) {
  Site site(terminals, records, serial);
  auto store = collect::OpenStore(url);
  collect::Collector collector(SiteConfig(terminals, serial, parallel, site.ports.dir() + "/spool"),
                               *store, wpl::ProcessEnv());
  const auto start = Clock::now();
  const int rc = collector.RunOnce();
  const double wall = Since(start);
  const long peak = PeakKib();  // before the check below reads every row
  // The protocol's time for the work: every terminal's download and clear
  // calls as the library makes them, pauses included, laid out on
  // `parallel` workers in the order the collector takes them (serial
  // first); the finish of the last one is what the protocol alone would
  // take at that parallelism.
  std::vector<double> own;
  double commit = 0;
  size_t stored = 0, failed = 0;
  const auto& reports = collector.lastReports();
  for (int pass : {0, 1})
    for (size_t i = 0; i < reports.size(); ++i)
      if ((static_cast<int>(i) >= terminals) == (pass == 0))
        own.push_back(reports[i].downloadSeconds + reports[i].clearSeconds);
  std::vector<double> workers(static_cast<size_t>(parallel), 0.0);
  for (double d : own) *std::min_element(workers.begin(), workers.end()) += d;
  const double protocol = *std::max_element(workers.begin(), workers.end());
  for (const auto& r : reports) {
    commit += r.commitSeconds;
    stored += static_cast<size_t>(r.commit.stored);
    failed += !r.ok;
  }
  const size_t expected = static_cast<size_t>(terminals + serial) * static_cast<size_t>(records);
  const size_t rows = store->Records({}).size();
  Say("%-10s %3d+%d terminals x %d records, parallel %d: wall %.2f s, protocol %.2f s (%.2fx), "
      "%zu rows of %zu expected%s, %zu failed, time in commits %.2f s summed over the workers, "
      "waits for the store included (%.0f records/s), "
      "peak %ld MiB\n",
      name.c_str(), terminals, serial, records, parallel, wall, protocol, wall / protocol, rows,
      expected, rows == expected && stored == expected ? "" : " (MISMATCH)", failed, commit,
      commit > 0 ? static_cast<double>(stored) / commit : 0, peak / 1024);
  if (rc != 0) Say("  --once would exit %d\n", rc);
}

void StoreAlone(const std::string& name, const std::string& url) {
  auto store = collect::OpenStore(url);
  const int batches = 200, records = 1000;
  const auto start = Clock::now();
  for (int b = 0; b < batches; ++b) {
    collect::Batch batch{
        "t" + std::to_string(b), collect::Source::kDownload, "", 1'765'000'000, {2026, 12, 9}, {}};
    for (int i = 0; i < records; ++i)
      batch.records.push_back({static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i), 0xA3, 0x04,
                               0x08, static_cast<uint8_t>(i % 60)});
    store->Commit(batch);
  }
  const double s = Since(start);
  Say("%-10s store alone: %d batches of %d records in %.2f s: %.0f records/s\n", name.c_str(),
      batches, records, s, batches * records / s);
}

}  // namespace

int main(int argc, char** argv) {
  const int terminals = argc > 1 ? std::atoi(argv[1]) : 200;
  const int records = argc > 2 ? std::atoi(argv[2]) : 1000;
  const int parallel = argc > 3 ? std::atoi(argv[3]) : 64;
  const int serial = 4;
  wpl::testing::TempDir dir;
  collect::testing::PgServer pg;
  StoreAlone("sqlite", "sqlite:" + dir.path() + "alone.db");
  StoreAlone("postgresql", pg.Database("alone"));
  if (argc > 4 && std::string(argv[4]) == "store") {  // the stores alone
    for (const std::string& l : g_lines) std::fputs(l.c_str(), stdout);
    return 0;
  }
  for (const std::string& l : g_lines) std::fputs(l.c_str(), stdout);
  std::fflush(stdout);
  // Each site in a process of its own, so that each peak is its own.
  const std::pair<std::string, std::string> sites[] = {
      {"sqlite", "sqlite:" + dir.path() + "site.db"}, {"postgresql", pg.Database("site")}};
  for (const auto& [name, url] : sites) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      g_lines.clear();
      CollectSite(name, url, terminals, records, serial, parallel);
      for (const std::string& l : g_lines) std::fputs(l.c_str(), stdout);
      std::fflush(stdout);
      ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
  }
  return 0;
}
