// The store's rules, the same on SQLite and on PostgreSQL: what is a repeat,
// what is a new punch, ids in commit order, consumers, the site lock.
#include "store.h"

#include <gtest/gtest.h>

#include <thread>

#include "store_backend.h"

namespace collect {
namespace {

using testing::FreshStoreUrl;
using testing::LastStoreUrl;

constexpr Day kDay{2026, 12, 9};

// Person n at 08:n on 4 March (year field 2010, the real year 2026).
Raw Punch(int n) {
  return {static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0xA3, 0x04, 0x08,
          static_cast<uint8_t>(n % 60)};
}

Batch Make(Source source, std::vector<int> persons, std::string key = "",
           std::string terminal = "gate-1") {
  Batch b{terminal, source, key, 1'765'000'000, kDay, {}};
  for (int p : persons) b.records.push_back(Punch(p));
  return b;
}

std::vector<int> Persons(Store& s, const std::string& terminal = "") {
  RecordFilter f;
  f.terminal = terminal;
  std::vector<int> out;
  for (const RecordRow& r : s.Records(f)) out.push_back(r.person);
  return out;
}

struct Step {
  Source source;
  std::vector<int> records;
  std::string key;
};
constexpr Source D = Source::kDownload;
constexpr Source L = Source::kLive;

struct DedupCase {
  const char* name;
  std::vector<Step> steps;
  std::vector<int> rows;  // persons of the rows, in id order
};

class StoreDedup : public ::testing::TestWithParam<DedupCase> {};

TEST_P(StoreDedup, StoresEachPunchOnce) {
  auto store = OpenStore(FreshStoreUrl());
  for (const Step& s : GetParam().steps) store->Commit(Make(s.source, s.records, s.key));
  EXPECT_EQ(Persons(*store), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreDedup,
    ::testing::Values(
        DedupCase{"RepeatAfterLostClear", {{D, {1, 2, 3}}, {D, {1, 2, 3, 4}}}, {1, 2, 3, 4}},
        DedupCase{"AfterAClear", {{D, {1, 2}}, {D, {3}}}, {1, 2, 3}},
        DedupCase{"ClearedAndEmpty", {{D, {1, 2}}, {D, {}}, {D, {1}}}, {1, 2, 1}},
        DedupCase{"IdenticalPunchesStayTwo", {{D, {5, 5}}, {D, {5, 5}}, {D, {5, 5, 5}}}, {5, 5, 5}},
        DedupCase{"LiveThenBulk", {{L, {7}}, {L, {8}}, {D, {7, 8}}}, {7, 8}},
        DedupCase{"LiveRepeat", {{L, {7}}, {L, {7}}}, {7}},
        DedupCase{"LiveAfterDownload", {{D, {7, 8}}, {L, {7}}, {L, {8}}}, {7, 8}},
        DedupCase{"LiveBetweenDownloads", {{D, {1}}, {L, {2}}, {D, {1, 2}}}, {1, 2}},
        DedupCase{"IdenticalPunchesOneLive", {{L, {5}}, {D, {5, 5}}}, {5, 5}},
        DedupCase{"SpoolReplay", {{D, {1, 2}, "k1"}, {D, {1, 2}, "k1"}}, {1, 2}},
        DedupCase{"ReplayAfterClearAndNewRecords",
                  {{D, {1, 2}, "k1"}, {D, {3}, "k2"}, {D, {1, 2}, "k1"}},
                  {1, 2, 3}},
        DedupCase{"LiveReplay", {{L, {4}, "l1"}, {L, {5}}, {L, {4}, "l1"}}, {4, 5}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Store, CountsWhatItStoredAndAbsorbed) {
  auto store = OpenStore(FreshStoreUrl());
  const CommitResult first = store->Commit(Make(D, {1, 2, 3}));
  EXPECT_EQ(first.stored, 3);
  EXPECT_EQ(first.duplicates, 0);
  const CommitResult again = store->Commit(Make(D, {1, 2, 3, 4}));
  EXPECT_EQ(again.stored, 1);
  EXPECT_EQ(again.duplicates, 3);
  EXPECT_FALSE(again.newGeneration);
  const CommitResult cleared = store->Commit(Make(D, {9}));
  EXPECT_TRUE(cleared.newGeneration);
  EXPECT_GT(cleared.batch, again.batch);
}

TEST(Store, TerminalsAreApart) {
  auto store = OpenStore(FreshStoreUrl());
  store->Commit(Make(D, {1, 2}, "", "a"));
  store->Commit(Make(D, {1, 2}, "", "b"));
  store->Commit(Make(L, {3}, "", "a"));
  store->Commit(Make(D, {3}, "", "b"));  // b was cleared: a new 3 of its own
  EXPECT_EQ(Persons(*store, "a"), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Persons(*store, "b"), (std::vector<int>{1, 2, 3}));
}

TEST(Store, KeepsRawBytesDecodedFieldsAndTheRealYear) {
  auto store = OpenStore(FreshStoreUrl());
  Batch b = Make(D, {});
  b.records = {Raw{0x01, 0x02, 0x95, 0x4F, 0x28, 0x5E},  // year field 2009: 2025-05-15 08:30 tag 35
               Raw{0x00, 0x07, 0xA3, 0x04, 0x08, 0x0F},  // year field 2010: 2026-03-04
               Raw{0x00, 0x07, 0xAC, 0x18, 0x08, 0x0F},  // 24 December: not yet, so 2010
               Raw{0x00, 0x07, 0xA0, 0x04, 0x08, 0x0F}};  // month 0: kept, no time
  store->Commit(b);
  const auto rows = store->Records({});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].raw, "0102954f285e");
  EXPECT_EQ(rows[0].person, 258);
  EXPECT_EQ(rows[0].time, "2025-05-15T08:30:00");
  EXPECT_EQ(rows[0].tag, 35);
  EXPECT_EQ(rows[0].source, "download");
  EXPECT_EQ(rows[0].receivedUtc, "2025-12-06T05:46:40Z");
  EXPECT_EQ(rows[1].time, "2026-03-04T08:15:00");
  EXPECT_EQ(rows[2].time, "2010-12-24T08:15:00");
  EXPECT_EQ(rows[3].time, "");
  EXPECT_EQ(rows[3].raw, "0007a004080f");
}

TEST(Store, FiltersByTimeTerminalAndPerson) {
  auto store = OpenStore(FreshStoreUrl());
  store->Commit(Make(D, {1, 2, 3, 4}, "", "a"));
  store->Commit(Make(D, {2}, "", "b"));
  RecordFilter f;
  f.person = 2;
  EXPECT_EQ(store->Records(f).size(), 2u);
  f.terminal = "b";
  EXPECT_EQ(store->Records(f).size(), 1u);
  RecordFilter t;
  t.since = "2026-03-04T08:02";
  t.until = "2026-03-04T08:03";
  EXPECT_EQ(Persons(*store), (std::vector<int>{1, 2, 3, 4, 2}));
  std::vector<int> got;
  for (const auto& r : store->Records(t)) got.push_back(r.person);
  EXPECT_EQ(got, (std::vector<int>{2, 3, 2}));
  t.until = "2026-03-03";
  EXPECT_TRUE(store->Records(t).empty());
}

TEST(Store, ConsumerReceivesEachRecordOnceInCommitOrder) {
  auto store = OpenStore(FreshStoreUrl());
  store->Commit(Make(D, {1, 2, 3}));
  RecordFilter f;
  f.afterId = store->ConsumerPosition("payroll");
  EXPECT_EQ(f.afterId, 0);
  auto first = store->Records(f);
  ASSERT_EQ(first.size(), 3u);
  store->AdvanceConsumer("payroll", first.back().id);
  store->Commit(Make(D, {1, 2, 3, 4}));
  f.afterId = store->ConsumerPosition("payroll");
  auto second = store->Records(f);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].person, 4);
  store->AdvanceConsumer("payroll", 1);  // never back
  EXPECT_EQ(store->ConsumerPosition("payroll"), first.back().id);
  EXPECT_EQ(store->ConsumerPosition("hr"), 0);
}

// Writers on two connections at once: every id a reader sees was committed
// after every smaller id, so reading "after the last id seen" misses none.
TEST(Store, IdsFollowCommitOrderAcrossConnections) {
  const std::string url = FreshStoreUrl();
  auto a = OpenStore(url);
  auto b = OpenStore(url);
  auto reader = OpenStore(url);
  std::atomic<int> writing{2};
  auto write = [&](Store& s, const std::string& terminal) {
    for (int i = 1; i <= 20; ++i) {
      std::vector<int> list;
      for (int k = 1; k <= i; ++k) list.push_back(k);
      s.Commit(Make(D, list, "", terminal));
    }
    --writing;
  };
  std::thread ta(write, std::ref(*a), "a"), tb(write, std::ref(*b), "b");
  int64_t last = 0;
  size_t seen = 0;
  auto readAll = [&] {
    RecordFilter f;
    f.afterId = last;
    for (const RecordRow& r : reader->Records(f)) {
      EXPECT_EQ(r.id, last + 1) << "an id became visible before a smaller one";
      last = r.id;
      ++seen;
    }
  };
  while (writing > 0) readAll();
  ta.join();
  tb.join();
  readAll();
  EXPECT_EQ(seen, 40u);
}

TEST(Store, ReopeningKeepsSchemaAndRecords) {
  {
    auto store = OpenStore(FreshStoreUrl());
    EXPECT_EQ(store->SchemaVersion(), 1);
    store->Commit(Make(D, {1, 2}));
  }
  auto again = OpenStore(LastStoreUrl());
  EXPECT_EQ(again->SchemaVersion(), 1);
  again->Commit(Make(D, {1, 2, 3}));
  EXPECT_EQ(Persons(*again), (std::vector<int>{1, 2, 3}));
}

TEST(Store, OneCollectorPerSite) {
  const std::string url = FreshStoreUrl();
  auto first = OpenStore(url);
  auto second = OpenStore(url);
  EXPECT_TRUE(first->LockSite("plant-1"));
  EXPECT_FALSE(second->LockSite("plant-1"));
  EXPECT_TRUE(second->LockSite("plant-2"));
  first.reset();  // the lock goes with its holder
  auto third = OpenStore(url);
  EXPECT_TRUE(third->LockSite("plant-1"));
}

}  // namespace
}  // namespace collect
