// The collector on a real PostgreSQL server that is stopped in the middle of
// the run: nothing is cleared, the batch waits in the spool, and everything
// is committed once the server is back.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "collector.h"
#include "network_site.h"
#include "pg_server.h"
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

}  // namespace
}  // namespace collect
