// The collector's conversations in virtual time against the simulator's
// terminal model: nothing lost, nothing doubled, and no terminal cleared of
// records the store does not hold, whatever fails and wherever it stops.
#include "collector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "failpoints.h"
#include "modem.h"
#include "network_site.h"
#include "store_backend.h"

namespace collect {
namespace {

constexpr wpl::Ipv4Address kAddress{{127, 0, 9, 1}};

Raw Punch(int n) {
  return {static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0xA3, 0x04, 0x08,
          static_cast<uint8_t>(n % 60)};
}

// A store that can be taken down like a database server.
class SwitchedStore : public Store {
 public:
  explicit SwitchedStore(std::unique_ptr<Store> s) : s_(std::move(s)) {}
  CommitResult Commit(const Batch& b) override {
    if (down) throw StoreError("server closed the connection");
    return s_->Commit(b);
  }
  std::vector<RecordRow> Records(const RecordFilter& f) override { return s_->Records(f); }
  int64_t ConsumerPosition(const std::string& n) override { return s_->ConsumerPosition(n); }
  void AdvanceConsumer(const std::string& n, int64_t id) override { s_->AdvanceConsumer(n, id); }
  bool LockSite(const std::string& site) override { return s_->LockSite(site); }
  int SchemaVersion() override { return s_->SchemaVersion(); }
  std::string Describe() const override { return s_->Describe(); }
  bool down = false;

 private:
  std::unique_ptr<Store> s_;
};

struct Killed {};

class CollectorTest : public ::testing::Test {
 protected:
  explicit CollectorTest(wpl::sim::TerminalConfig terminal = {})
      : site(kAddress, terminal), store(OpenStore(testing::FreshStoreUrl())) {
    config.site = "plant-1";
    config.spool = spoolDir.path() + "spool";
    TerminalConfig t;
    t.id = "gate-1";
    t.ip = "127.0.9.1";
    t.every = std::chrono::seconds(600);
    config.terminals.push_back(t);
  }
  ~CollectorTest() override {
    Failpoints::hook = nullptr;
    Spool::failWrites = false;
  }

  void Load(std::vector<int> persons) {
    for (int p : persons) {
      const Raw r = Punch(p);
      site.terminal.records().insert(site.terminal.records().end(), r.begin(), r.end());
      all.push_back(p);
    }
  }
  // The persons of the stored rows, in the order of their places.
  std::vector<int> Stored() {
    std::vector<int> out;
    for (const RecordRow& r : store.Records({})) out.push_back(r.person);
    std::sort(out.begin(), out.end());
    return out;
  }
  std::vector<int> All() {
    auto v = all;
    std::sort(v.begin(), v.end());
    return v;
  }
  size_t OnTerminal() { return site.terminal.records().size() / 6; }
  StepReport Collect() { return Collector(config, store, site.env).CollectTerminal(0); }
  size_t Spooled() { return Spool(config.spool).Pending("gate-1").size(); }

  wpl::testing::NetworkSite site;
  SwitchedStore store;
  wpl::testing::TempDir spoolDir;
  SiteConfig config;
  std::vector<int> all;
};

TEST_F(CollectorTest, CommitsThenClears) {
  Load({1, 2, 3});
  const StepReport r = Collect();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.commit.stored, 3);
  EXPECT_TRUE(r.cleared);
  EXPECT_EQ(Stored(), All());
  EXPECT_EQ(OnTerminal(), 0u);
  EXPECT_EQ(Spooled(), 0u);
  Load({4});
  ASSERT_TRUE(Collect().ok);
  EXPECT_EQ(Stored(), All());
}

TEST_F(CollectorTest, TwoIdenticalPunchesStayTwo) {
  Load({5, 5, 6});
  ASSERT_TRUE(Collect().ok);
  EXPECT_EQ(Stored(), (std::vector<int>{5, 5, 6}));
}

TEST_F(CollectorTest, NeverClearsWhenToldNot) {
  config.terminals[0].clear = false;
  Load({1, 2});
  ASSERT_TRUE(Collect().ok);
  Load({3});
  const StepReport r = Collect();
  EXPECT_EQ(r.commit.duplicates, 2);
  EXPECT_EQ(site.terminal.clears(), 0);
  EXPECT_EQ(OnTerminal(), 3u);
  EXPECT_EQ(Stored(), All());
}

TEST_F(CollectorTest, DownloadCutHalfwayStoresNothingAndKeepsTheRecords) {
  std::vector<int> many;
  for (int i = 1; i <= 100; ++i) many.push_back(i);
  Load(many);
  wpl::sim::NetworkFaults cut;
  cut.closeAfterSent = 300;  // in the second data packet
  site.sockets.Attach(kAddress, &site.terminal, cut);
  const StepReport r = Collect();
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("broke off"), std::string::npos) << r.error;
  EXPECT_TRUE(Stored().empty());
  EXPECT_EQ(site.terminal.clears(), 0);
  EXPECT_EQ(OnTerminal(), 100u);
  site.sockets.Attach(kAddress, &site.terminal, {});
  ASSERT_TRUE(Collect().ok);
  EXPECT_EQ(Stored(), All());
}

TEST_F(CollectorTest, StoreDownKeepsTheBatchInTheSpoolAndTheTerminalUncleared) {
  Load({1, 2, 3});
  store.down = true;
  const StepReport r = Collect();
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("store"), std::string::npos);
  EXPECT_EQ(site.terminal.clears(), 0);
  EXPECT_EQ(Spooled(), 1u);
  Load({4});
  EXPECT_FALSE(Collect().ok);  // still down: the spool is kept, nothing downloaded
  EXPECT_EQ(Spooled(), 1u);
  store.down = false;
  const StepReport back = Collect();
  ASSERT_TRUE(back.ok) << back.error;
  EXPECT_EQ(Stored(), All());
  EXPECT_EQ(Spooled(), 0u);
  EXPECT_EQ(OnTerminal(), 0u);
}

TEST_F(CollectorTest, FullDiskAndStoreDownClearNothing) {
  Load({1, 2});
  Spool::failWrites = true;
  store.down = true;
  EXPECT_FALSE(Collect().ok);
  EXPECT_EQ(site.terminal.clears(), 0);
  EXPECT_EQ(OnTerminal(), 2u);
  // The disk still full, the store back: committed without the spool.
  store.down = false;
  ASSERT_TRUE(Collect().ok);
  EXPECT_EQ(Stored(), All());
  EXPECT_EQ(OnTerminal(), 0u);
}

// Killed after each step of a conversation, then started again: the store
// ends with every record once, and the terminal was never cleared of a
// record the store did not hold.
struct Kill {
  const char* step;
  bool storeDown;  // the store refuses the commit first
};
class CollectorKilled : public CollectorTest, public ::testing::WithParamInterface<Kill> {};

TEST_P(CollectorKilled, LosesNothingAndDoublesNothing) {
  Load({1, 2, 3, 3});
  store.down = GetParam().storeDown;
  Failpoints::hook = [&](const char* step, const std::string&) {
    if (std::string(step) == GetParam().step) throw Killed{};
  };
  EXPECT_THROW(Collect(), Killed);
  Failpoints::hook = nullptr;
  store.down = false;
  if (site.terminal.clears() > 0) EXPECT_EQ(Stored(), All());
  // What the store and the terminal hold between them: all of it.
  EXPECT_TRUE(OnTerminal() == 4u || Stored() == All());
  Load({7});
  const StepReport r = Collect();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(Stored(), All());
  EXPECT_EQ(Spooled(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Steps, CollectorKilled,
                         ::testing::Values(Kill{"downloaded", false}, Kill{"spooled", true},
                                           Kill{"committed", false}, Kill{"cleared", false}),
                         [](const auto& info) { return std::string(info.param.step); });

TEST_F(CollectorTest, KilledBeforeTheSpoolWasCommittedReplaysIt) {
  Load({1, 2});
  store.down = true;
  EXPECT_FALSE(Collect().ok);
  store.down = false;
  Failpoints::hook = [&](const char* step, const std::string&) {
    if (std::string(step) == "replayed") throw Killed{};
  };
  EXPECT_THROW(Collect(), Killed);  // committed from the spool, file not yet removed
  Failpoints::hook = nullptr;
  ASSERT_TRUE(Collect().ok);
  EXPECT_EQ(Stored(), All());
}

// The clear's frame goes unheard: the terminal keeps everything.
wpl::sim::TerminalConfig DeafToClear() {
  wpl::sim::TerminalConfig c;
  c.commandFaults[0x0D].frame = wpl::sim::Answer{wpl::sim::AckFault::kSilent};
  return c;
}
class LostClear : public CollectorTest {
 public:
  LostClear() : CollectorTest(DeafToClear()) {}
};

TEST_F(LostClear, TheRepeatedDownloadAddsOnlyTheNewRecords) {
  Load({1, 2, 3});
  ASSERT_TRUE(Collect().ok);
  EXPECT_EQ(OnTerminal(), 3u);  // the clear went unanswered and undone
  Load({3});
  const StepReport r = Collect();
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.commit.stored, 1);
  EXPECT_EQ(r.commit.duplicates, 3);
  EXPECT_EQ(Stored(), All());
}

// A terminal that offers each punch live and keeps it for the download.
TEST_F(CollectorTest, LiveRecordsLaterDownloadedInBulkAreStoredOnce) {
  config.terminals[0].mode = Mode::kBoth;
  Load({1, 2, 2});
  for (int p : {1, 2, 2}) site.terminal.cards().realtime.Push(Punch(p));
  Collector c(config, store, site.env);
  ASSERT_TRUE(c.PollLive(0));
  // Two identical live punches in a row read as the terminal's repeat until
  // the download shows both.
  EXPECT_EQ(Stored(), (std::vector<int>{1, 2}));
  // The punches are of 4 March 08:0x by the terminal's clock: its offset
  // from the host's is that far off, to the minute.
  const auto offset = c.Terminals()[0].clockOffsetSeconds;
  ASSERT_TRUE(offset);
  const int64_t made = 1772582400 + 8 * 3600 + 2 * 60;  // 2026-03-04T08:02 as UTC
  EXPECT_NEAR(static_cast<double>(*offset),
              static_cast<double>(made - LocalWallSeconds(NowUtc(), "")), 120.0);
  ASSERT_TRUE(c.CollectTerminal(0).ok);
  EXPECT_EQ(Stored(), All());
  for (const RecordRow& r : store.Records({})) EXPECT_EQ(r.source, r.id == 3 ? "download" : "live");
}

// Every second acknowledgement of a live record is missed: it comes again.
wpl::sim::TerminalConfig MissingAcks() {
  wpl::sim::TerminalConfig c;
  c.replyFaults.dropAckEvery = 2;
  return c;
}
class RepeatingTerminal : public CollectorTest {
 public:
  RepeatingTerminal() : CollectorTest(MissingAcks()) {}
};

TEST_F(RepeatingTerminal, ALiveRecordRepeatedIsStoredOnce) {
  config.terminals[0].mode = Mode::kWatch;
  for (int p : {1, 2, 3}) site.terminal.cards().realtime.Push(Punch(p));
  Collector c(config, store, site.env);
  ASSERT_TRUE(c.PollLive(0));
  EXPECT_EQ(Stored(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(c.Counters().recordsStored, 3u);
  EXPECT_GE(c.Counters().duplicatesAbsorbed, 1u);
}

TEST_F(CollectorTest, AnInterruptedFeedIsFilledByADownload) {
  config.terminals[0].mode = Mode::kWatch;
  Load({1, 2});  // made while the feed was down: never offered live
  Collector c(config, store, site.env);
  site.sockets.Attach(kAddress, &site.terminal, {.closeAfterFrame = true});
  EXPECT_FALSE(c.PollLive(0));
  EXPECT_EQ(c.Terminals()[0].failuresInRow, 1);
  site.sockets.Attach(kAddress, &site.terminal, {});
  ASSERT_TRUE(c.PollLive(0));
  EXPECT_EQ(Stored(), All());
  EXPECT_TRUE(c.Terminals()[0].up);
}

TEST_F(CollectorTest, HealthOfATerminal) {
  site.sockets.Attach(kAddress, &site.terminal, {.closeAfterFrame = true});
  Collector c(config, store, site.env);
  EXPECT_FALSE(c.CollectTerminal(0).ok);
  EXPECT_FALSE(c.CollectTerminal(0).ok);
  TerminalStatus s = c.Terminals()[0];
  EXPECT_EQ(s.failuresInRow, 2);
  EXPECT_FALSE(s.up);
  EXPECT_NE(s.lastError, "");
  EXPECT_EQ(s.link, "ip 127.0.9.1");
  EXPECT_FALSE(s.lastSuccessUtc);
  EXPECT_EQ(c.Counters().downloadsFailed, 2u);
  site.sockets.Attach(kAddress, &site.terminal, {});
  Load({1, 2});
  ASSERT_TRUE(c.CollectTerminal(0).ok);
  s = c.Terminals()[0];
  EXPECT_EQ(s.failuresInRow, 0);
  EXPECT_TRUE(s.up);
  EXPECT_EQ(s.lastError, "");
  EXPECT_EQ(s.recordsToday, 2);
  EXPECT_TRUE(s.lastSuccessUtc);
  EXPECT_FALSE(s.overdue);
  EXPECT_EQ(c.RecordsAfter(1, 10).size(), 1u);
}

// A terminal on a serial line: downloaded and cleared on the port where it
// answered.
TEST_F(CollectorTest, SerialTerminal) {
  wpl::sim::TerminalModel terminal({.address = 2});
  site.serial.Attach(3, &terminal);
  for (int p : {1, 2, 2, 3}) {
    const Raw r = Punch(p);
    terminal.records().insert(terminal.records().end(), r.begin(), r.end());
  }
  config.terminals[0].link = LinkKind::kSerial;
  config.terminals[0].port = 3;
  config.terminals[0].address = 2;
  Collector c(config, store, site.env);
  const StepReport r = c.CollectTerminal(0);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.cleared);
  EXPECT_EQ(Stored(), (std::vector<int>{1, 2, 2, 3}));
  EXPECT_TRUE(terminal.records().empty());
  EXPECT_EQ(terminal.clears(), 1);
  EXPECT_EQ(c.Terminals()[0].link, "com3 address 2");
}

// A terminal behind a modem: downloaded, never cleared, its repeats stored
// once; the library's text file and dated copies do not pile up.
TEST_F(CollectorTest, ModemTerminal) {
  wpl::sim::TerminalModel terminal({});
  wpl::sim::ModemModel modem({}, {{"5551234", wpl::sim::DialResult::kConnect, &terminal}});
  site.serial.Attach(2, &modem);
  for (int p : {1, 2}) {
    const Raw r = Punch(p);
    terminal.records().insert(terminal.records().end(), r.begin(), r.end());
  }
  config.terminals[0].link = LinkKind::kModem;
  config.terminals[0].modem = "5551234";
  config.terminals[0].port = 2;
  Collector c(config, store, site.env);
  const StepReport first = c.CollectTerminal(0);
  ASSERT_TRUE(first.ok) << first.error;
  EXPECT_FALSE(first.cleared);
  const Raw r = Punch(3);
  terminal.records().insert(terminal.records().end(), r.begin(), r.end());
  const StepReport second = c.CollectTerminal(0);
  ASSERT_TRUE(second.ok) << second.error;
  EXPECT_EQ(second.commit.duplicates, 2);
  EXPECT_EQ(Stored(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(terminal.clears(), 0);
  const std::string work = config.spool + "/.work/gate-1/";
  EXPECT_FALSE(std::filesystem::exists(work + "downbak"));
  EXPECT_FALSE(std::filesystem::exists(work + "pclog.txt"));
}

// The library's scan would find a terminal of that address on the next
// port; that is another bus, and its terminal is left alone.
TEST_F(CollectorTest, NeverDownloadsAnotherPortsTerminal) {
  wpl::sim::TerminalModel other({.address = 2});
  site.serial.Attach(4, &other);
  const Raw r = Punch(9);
  other.records().assign(r.begin(), r.end());
  config.terminals[0].link = LinkKind::kSerial;
  config.terminals[0].port = 3;
  config.terminals[0].address = 2;
  Collector c(config, store, site.env);
  EXPECT_FALSE(c.CollectTerminal(0).ok);
  EXPECT_TRUE(Stored().empty());
  EXPECT_EQ(other.records().size(), 6u);
  EXPECT_TRUE(other.commands().empty());
}

// SIGHUP's path: a good file replaces the terminals (keeping the state of
// those that stay), a bad one changes nothing.
TEST_F(CollectorTest, ReadsItsFileAgain) {
  // Downloads due only at a time of day just past, so that no terminal's
  // thread talks to the (single-threaded) virtual terminal meanwhile.
  const int64_t past = NowUtc() - 120;
  char at[8];
  std::snprintf(at, sizeof at, "%02d:%02d", static_cast<int>(past / 3600 % 24),
                static_cast<int>(past / 60 % 60));
  const std::string schedule = std::string("at = [\"") + at + "\"]\nzone = \"UTC\"\n";
  const std::string file = spoolDir.path() + "site.toml";
  auto write = [&](const std::string& extra) {
    std::ofstream(file) << "site = \"plant-1\"\n[[terminal]]\nid = \"gate-1\"\n"
                           "ip = \"127.0.9.1\"\n"
                        << schedule << extra;
  };
  write("");
  LoadedConfig loaded = LoadConfig(file);
  ASSERT_TRUE(loaded.ok());
  Load({1});
  Collector c(loaded.config, store, site.env);
  ASSERT_TRUE(c.CollectTerminal(0).ok);
  std::atomic<bool> stop{false}, reload{false};
  std::thread run([&] { c.Run(stop, reload); });
  auto settle = [&] {
    for (int i = 0; i < 100 && reload; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  };
  write("[[terminal]]\nid = \"gate-2\"\nip = \"127.0.9.3\"\n" + schedule);
  reload = true;
  settle();
  write("[[terminal]]\nid = \"gate-3\"\nip = \"nowhere\"\n");
  reload = true;
  settle();
  stop = true;
  run.join();
  const auto terminals = c.Terminals();
  ASSERT_EQ(terminals.size(), 2u);
  EXPECT_EQ(terminals[1].id, "gate-2");
  EXPECT_TRUE(terminals[0].lastSuccessUtc);  // gate-1 kept its state
}

TEST(CollectorSchedule, BackoffDoublesUpToItsCap) {
  using std::chrono::seconds;
  EXPECT_EQ(Backoff(0, seconds(600)), seconds(0));
  EXPECT_EQ(Backoff(1, seconds(600)), seconds(10));
  EXPECT_EQ(Backoff(2, seconds(600)), seconds(20));
  EXPECT_EQ(Backoff(5, seconds(600)), seconds(160));
  EXPECT_EQ(Backoff(7, seconds(600)), seconds(600));
  EXPECT_EQ(Backoff(1000, seconds(600)), seconds(600));
}

TEST(CollectorSchedule, NextDownloadByEveryOrAt) {
  TerminalConfig t;
  t.zone = "UTC";
  t.every = std::chrono::seconds(600);
  EXPECT_EQ(SecondsToNext(t, 1772667000), 600);
  t.every = std::chrono::seconds(0);
  t.at = {360, 840};                                             // 06:00 and 14:00
  EXPECT_EQ(SecondsToNext(t, 1772667000), 6.5 * 3600);           // from 23:30
  EXPECT_EQ(SecondsToNext(t, 1772667000 - 10 * 3600), 30 * 60);  // from 13:30
  t.zone = "Europe/Berlin";                                      // 00:30 there
  EXPECT_EQ(SecondsToNext(t, 1772667000), 5.5 * 3600);
  t.at.clear();
  EXPECT_EQ(SecondsToNext(t, 1772667000), -1);
}

}  // namespace
}  // namespace collect
