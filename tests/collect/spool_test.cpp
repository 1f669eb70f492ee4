// The spool: whole batches back in the order they were written; a temporary
// file a crash left is removed, and a file that is not a whole batch set
// aside.
#include "spool.h"

#include <gtest/gtest.h>

#include <fstream>

#include "virtual_env.h"

namespace collect {
namespace {

Batch Sample(const std::string& terminal, Source source, int records) {
  Batch b{terminal, source, "", 1'765'000'000, {2026, 12, 9}, {}};
  for (int i = 0; i < records; ++i)
    b.records.push_back({0, static_cast<uint8_t>(i), 0xA3, 0x04, 0x08, 0x01});
  return b;
}

TEST(Spool, GivesBatchesBackInOrder) {
  wpl::testing::TempDir dir;
  Spool spool(dir.path() + "spool");
  std::string error;
  Batch first = Sample("gate/1", Source::kDownload, 3), second = Sample("gate/1", Source::kLive, 1);
  const std::string a = spool.Write(first, error), b = spool.Write(second, error);
  ASSERT_FALSE(a.empty()) << error;
  ASSERT_FALSE(b.empty()) << error;
  EXPECT_NE(first.key, second.key);
  auto pending = spool.Pending("gate/1");
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].batch.key, first.key);
  EXPECT_EQ(pending[0].batch.records, first.records);
  EXPECT_EQ(pending[0].batch.day.month, 12);
  EXPECT_EQ(pending[0].batch.receivedUtc, first.receivedUtc);
  EXPECT_EQ(pending[1].batch.source, Source::kLive);
  EXPECT_TRUE(spool.Pending("gate-1").empty());  // another terminal's folder
  EXPECT_TRUE(spool.Remove(pending[0].path));
  EXPECT_EQ(spool.Pending("gate/1").size(), 1u);
}

TEST(Spool, SetsAsideWhatIsNotWhole) {
  wpl::testing::TempDir dir;
  Spool spool(dir.path() + "spool");
  std::string error;
  Batch whole = Sample("t", Source::kDownload, 2);
  const std::string path = spool.Write(whole, error);
  const std::string folder = path.substr(0, path.rfind('/'));
  std::ofstream(folder + "/00000000000000000001-000000.batch.part") << "pclog-batch 1\n";
  std::ofstream(folder + "/00000000000000000002-000000.batch")
      << "pclog-batch 1\nterminal t\nsource download\nkey k\nreceived 1\nday 2026-12-09\n"
         "records 2\n0001a3040801\n";  // no closing line
  std::ofstream(folder + "/00000000000000000003-000000.batch")
      << "pclog-batch 1\nterminal t\nreceived soon\nrecords many\nend\n";
  const auto pending = spool.Pending("t");
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].batch.key, whole.key);
  EXPECT_FALSE(std::ifstream(folder + "/00000000000000000002-000000.batch"));
  EXPECT_TRUE(std::ifstream(folder + "/00000000000000000002-000000.batch.bad"));
  EXPECT_TRUE(std::ifstream(folder + "/00000000000000000003-000000.batch.bad"));
  EXPECT_FALSE(std::ifstream(folder + "/00000000000000000001-000000.batch.part"));
}

TEST(Spool, AFullDiskIsReported) {
  wpl::testing::TempDir dir;
  Spool spool(dir.path() + "spool");
  Spool::failWrites = true;
  std::string error;
  Batch b = Sample("t", Source::kDownload, 1);
  EXPECT_TRUE(spool.Write(b, error).empty());
  Spool::failWrites = false;
  EXPECT_NE(error.find("no space"), std::string::npos);
  EXPECT_TRUE(spool.Pending("t").empty());
}

TEST(Spool, TerminalIdsAsFileNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"gate-1", "gate-1"}, {"hall_2.b", "hall_2.b"}, {"a/b", "a%2Fb"},
      {"..", "%2E."},       {".work", "%2Ework"},     {"100%", "100%25"}};
  for (const auto& [id, name] : cases) EXPECT_EQ(FileNameOf(id), name) << id;
}

}  // namespace
}  // namespace collect
