// The collector on a real PostgreSQL server that is stopped in the middle of
// the run: nothing is cleared, the batch waits in the spool, and everything
// is committed once the server is back.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <set>

#include "collector.h"
#include "network_site.h"
#include "pg_server.h"
#include "sim_process.h"
#include "store_backend.h"

namespace collect {
namespace testing {
PgServer& Server();
}
namespace {

constexpr wpl::Ipv4Address kAddress{{127, 0, 9, 2}};

TEST(CollectorOnPostgresql, ServerStoppedMidRun) {
  wpl::testing::NetworkSite site(kAddress, {});
  wpl::testing::TempDir dir;
  auto store = OpenStore(testing::FreshStoreUrl());
  ASSERT_TRUE(store->LockSite("plant-1"));
  SiteConfig config;
  config.site = "plant-1";
  config.spool = dir.path() + "spool";
  TerminalConfig t;
  t.id = "gate-2";
  t.ip = "127.0.9.2";
  t.every = std::chrono::seconds(60);
  config.terminals.push_back(t);
  auto load = [&](int from, int to) {
    for (int p = from; p <= to; ++p) {
      const uint8_t r[] = {0, static_cast<uint8_t>(p), 0xA3, 0x04, 0x08, 0x01};
      site.terminal.records().insert(site.terminal.records().end(), r, r + 6);
    }
  };
  Collector collector(config, *store, site.env);
  load(1, 10);
  ASSERT_TRUE(collector.CollectTerminal(0).ok);
  load(11, 20);
  testing::Server().Stop();
  const StepReport down = collector.CollectTerminal(0);
  EXPECT_FALSE(down.ok);
  EXPECT_EQ(site.terminal.clears(), 1);  // only the first, committed, download
  EXPECT_EQ(site.terminal.records().size(), 60u);
  EXPECT_EQ(Spool(config.spool).Pending("gate-2").size(), 1u);
  testing::Server().Start();
  load(21, 25);
  const StepReport back = collector.CollectTerminal(0);
  ASSERT_TRUE(back.ok) << back.error;
  EXPECT_TRUE(site.terminal.records().empty());
  std::vector<int> persons;
  for (const RecordRow& r : store->Records({})) persons.push_back(r.person);
  std::vector<int> want(25);
  std::iota(want.begin(), want.end(), 1);
  EXPECT_EQ(persons, want);
  EXPECT_TRUE(Spool(config.spool).Pending("gate-2").empty());
}

// Started while its server is down: the first commits go to the spool, the
// store is opened (and the site lock taken) once the server answers.
TEST(CollectorOnPostgresql, StartedWhileTheServerIsDown) {
  const std::string url = testing::FreshStoreUrl();
  testing::Server().Stop();
  auto store = OpenStoreWhenReachable(url, "plant-3");
  const Batch b{"t",           Source::kDownload, "k1",
                1'765'000'000, {2026, 12, 9},     {{0, 1, 0xA3, 0x04, 0x08, 0x01}}};
  EXPECT_THROW(store->Commit(b), StoreError);
  testing::Server().Start();
  EXPECT_EQ(store->Commit(b).stored, 1);
  auto other = OpenStore(url);
  EXPECT_FALSE(other->LockSite("plant-3"));  // taken with the store
  EXPECT_EQ(other->Records({}).size(), 1u);
}

// pclog collect and pclog records on PostgreSQL, end to end against
// pclog-sim: two terminals, collected twice, every record once.
TEST(CollectOnPostgresql, EndToEnd) {
  wpl::e2e::PortFolder ports;
  const std::string ready = ports.dir() + "/ready";
  wpl::e2e::SimProcess sim(
      {"--tcp", "127.0.64.31", "--tcp", "127.0.64.32", "--records", "25", "--ready", ready}, ready);
  const std::string site = ports.dir() + "/site.toml";
  std::ofstream(site) << "site = \"office\"\nstore = \"" << testing::FreshStoreUrl()
                      << "\"\n[[terminal]]\nid = \"a\"\nip = \"127.0.64.31\"\nevery = \"1h\"\n"
                         "[[terminal]]\nid = \"b\"\nip = \"127.0.64.32\"\nevery = \"1h\"\n";
  const std::string cli = PCLOG_CLI;
  ASSERT_EQ(std::system((cli + " collect --config " + site + " --once 2>/dev/null").c_str()), 0);
  ASSERT_EQ(std::system((cli + " collect --config " + site + " --once 2>/dev/null").c_str()), 0);
  FILE* out = ::popen((cli + " records --config " + site + " --format csv").c_str(), "r");
  ASSERT_NE(out, nullptr);
  int lines = 0;
  char line[512];
  std::set<std::string> seen;
  while (std::fgets(line, sizeof line, out)) {
    ++lines;
    seen.insert(line);
  }
  EXPECT_EQ(::pclose(out), 0);
  EXPECT_EQ(lines, 51);  // the header and 25 records of each terminal
  EXPECT_EQ(seen.size(), 51u);
}

}  // namespace
}  // namespace collect
