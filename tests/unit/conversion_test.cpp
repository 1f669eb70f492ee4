// The file conversions in virtual time: retries and messages, pauses, the
// variants, and the backups with their clash rule.
#include "records/conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

#include "faulty_files.h"
#include "file_contents.h"
#include "records/backup.h"
#include "virtual_env.h"

namespace wpl::records {
namespace {

using testing::ReadFile;
using testing::WriteFile;

using testing::FaultyFiles;
using testing::VirtualEnv;
using Bytes = std::vector<uint8_t>;

const Bytes kStrayThenTwo = {0x07, 0x01, 0x02, 0x95, 0x4F, 0x28, 0x5E,
                             0x00, 0x07, 0x95, 0xCF, 0x28, 0x5E};
const std::string kStrayThenTwoText = "00025808:302009051535\r\n00000708:302009051565\r\n";
const Bytes kConsumption = {0x09, 0x05, 0x0F, 0x08, 0x1E, 0x00, 0x04, 0x00, 0x00,
                            0x30, 0x39, 0x2D, 0x00, 0x00, 0x96, 0x01, 0x00};

std::string AsText(const Bytes& b) { return std::string(b.begin(), b.end()); }

// File names in the backup folder, sorted.
std::vector<std::string> Backups(const std::string& dir) {
  std::vector<std::string> names;
  if (!std::filesystem::is_directory(dir + "downbak")) return names;
  for (const auto& e : std::filesystem::directory_iterator(dir + "downbak"))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Virtual milliseconds since the env was made.
int64_t ElapsedMs(VirtualEnv& v) {
  return std::chrono::duration_cast<Millis>(v.clock.Now()).count();
}

TEST(ConvertRecordFile, ConvertsAndBacksUpBothFiles) {
  VirtualEnv v;
  const std::string dir = v.dir.path();
  WriteFile(dir + "pclog.dat", kStrayThenTwo);
  WriteFile(dir + "pclog.txt", "an older, longer text that must go entirely\r\n");

  EXPECT_EQ(ConvertRecordFile(v.env), 0);
  EXPECT_EQ(ReadFile(dir + "pclog.txt"), kStrayThenTwoText);
  EXPECT_EQ(ReadFile(dir + "pclog.dat"), AsText(kStrayThenTwo));  // never changed
  // 300 ms before opening, 1 s before the copies; the clock starts 14:03:09.
  EXPECT_EQ(ElapsedMs(v), 1300);
  EXPECT_EQ(Backups(dir), (std::vector<std::string>{"k0517140310_35.dat", "k0517140310_35.txt"}));
  EXPECT_EQ(ReadFile(dir + "downbak/k0517140310_35.txt"), kStrayThenTwoText);
  EXPECT_EQ(ReadFile(dir + "downbak/k0517140310_35.dat"), AsText(kStrayThenTwo));
  EXPECT_TRUE(v.ui.messages.empty());
}

TEST(ConvertRecordFile, EmptyFileGivesEmptyTextAndTag00) {
  VirtualEnv v;
  const std::string dir = v.dir.path();
  WriteFile(dir + "pclog.dat", Bytes{});
  WriteFile(dir + "pclog.txt", "old\r\n");
  EXPECT_EQ(ConvertRecordFile(v.env), 0);
  EXPECT_EQ(ReadFile(dir + "pclog.txt"), "");
  EXPECT_EQ(Backups(dir), (std::vector<std::string>{"k0517140310_00.dat", "k0517140310_00.txt"}));
}

struct Variant {
  const char* name;
  std::function<int(Env&)> run;
  std::string recordFile, textFile;
  int openTries;
  bool openMessage;
  int64_t openFailMs;  // virtual time until it gives up on the record file
  int createTries;
  int64_t createFailMs;  // likewise for the text file
  int failure;
};

std::vector<Variant> Variants(const std::string& dir) {
  auto host = [dir](RecordKind kind) {
    return [dir, kind](Env& env) { return ConvertHostFile(env, dir, "site1", kind); };
  };
  return {
      {"post-download", [](Env& env) { return ConvertRecordFile(env); }, "pclog.dat", "pclog.txt",
       30, true, 300 + 29 * 100, 15, 300 + 14 * 10, -1},
      {"per-terminal", [](Env& env) { return ConvertRecordFile(env, PerTerminalConversion(12)); },
       "pclog12.dat", "pclog12.txt", 15, true, 300 + 14 * 100, 15, 300 + 14 * 100, -1},
      {"address", [](Env& env) { return ConvertRecordFile(env, AddressConversion()); }, "pclog.dat",
       "pclog.txt", 15, false, 300 + 14 * 100, 15, 300 + 14 * 100, -1},
      {"_CONVERFILE", host(RecordKind::kClocking), "site1.dat", "site1.txt", 15, true, 14 * 100, 15,
       14 * 100, 1},
      {"_CONVERXFFILE", host(RecordKind::kConsumption), "site1.dat", "site1.txt", 15, true,
       300 + 14 * 100, 15, 300 + 14 * 100, 1},
  };
}

// One variant over a fresh virtual env whose opens can be refused, with its
// record file in place.
struct VariantRig {
  explicit VariantRig(size_t i) : k(Variants(v.dir.path())[i]) {
    v.env.files = &files;
    WriteFile(v.dir.path() + k.recordFile, kStrayThenTwo);
  }
  // Every message shown had this text and the title "Open Error".
  void ExpectMessages(const std::string& text, size_t count) {
    ASSERT_EQ(v.ui.messages.size(), count) << k.name;
    for (const auto& m : v.ui.messages) {
      EXPECT_EQ(m.text, text);
      EXPECT_EQ(m.title, "Open Error");
    }
  }
  VirtualEnv v;
  FaultyFiles files{*v.files};
  const Variant k;
};

TEST(ConversionRetries, RecordFileThatWillNotOpen) {
  for (size_t i = 0; i < Variants("").size(); ++i) {
    VariantRig rig(i);
    const Variant& k = rig.k;
    WriteFile(rig.v.dir.path() + k.textFile, "kept\r\n");
    rig.files.refuseOpens = 1000;

    EXPECT_EQ(k.run(rig.v.env), k.failure) << k.name;
    EXPECT_EQ(rig.files.opens, k.openTries) << k.name;
    EXPECT_EQ(rig.files.creates, 0) << k.name;
    EXPECT_EQ(ElapsedMs(rig.v), k.openFailMs) << k.name;
    rig.ExpectMessages("can not open pclog.dat!", k.openMessage ? size_t(k.openTries) : 0u);
    EXPECT_EQ(ReadFile(rig.v.dir.path() + k.textFile), "kept\r\n") << k.name;
    EXPECT_TRUE(Backups(rig.v.dir.path()).empty());
  }
}

TEST(ConversionRetries, TextFileThatCannotBeCreated) {
  for (size_t i = 0; i < Variants("").size(); ++i) {
    VariantRig rig(i);
    const Variant& k = rig.k;
    rig.files.refuseCreates = 1000;

    EXPECT_EQ(k.run(rig.v.env), k.failure) << k.name;
    EXPECT_EQ(rig.files.opens, 1) << k.name;
    EXPECT_EQ(rig.files.creates, k.createTries) << k.name;
    EXPECT_EQ(ElapsedMs(rig.v), k.createFailMs) << k.name;
    rig.ExpectMessages("can not creat PCLOG.TXT!", size_t(k.createTries));
    // The record file was closed again: it opens exclusively.
    EXPECT_NE(rig.v.files->OpenRead(rig.v.dir.path() + k.recordFile), nullptr) << k.name;
  }
}

TEST(ConversionRetries, SucceedsAfterSomeFailures) {
  VirtualEnv v;
  FaultyFiles files(*v.files);
  v.env.files = &files;
  WriteFile(v.dir.path() + "pclog.dat", kStrayThenTwo);
  files.refuseOpens = 2;
  files.refuseCreates = 3;
  EXPECT_EQ(ConvertRecordFile(v.env), 0);
  EXPECT_EQ(v.ui.messages.size(), 5u);
  EXPECT_EQ(ElapsedMs(v), 300 + 2 * 100 + 3 * 10 + 1000);
  EXPECT_EQ(ReadFile(v.dir.path() + "pclog.txt"), kStrayThenTwoText);
}

TEST(ConversionRetries, RecordFileHeldOpenElsewhere) {
  VirtualEnv v;
  WriteFile(v.dir.path() + "pclog.dat", kStrayThenTwo);
  auto held = v.files->OpenRead(v.dir.path() + "pclog.dat");
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(ConvertRecordFile(v.env), -1);
  EXPECT_EQ(v.ui.messages.size(), 30u);
  held.reset();
  EXPECT_EQ(ConvertRecordFile(v.env), 0);
}

TEST(ConversionRetries, WriteFailureIsNoSuccess) {
  VirtualEnv v;
  FaultyFiles files(*v.files);
  files.brokenWrites = true;
  v.env.files = &files;
  WriteFile(v.dir.path() + "pclog.dat", kStrayThenTwo);
  EXPECT_EQ(ConvertRecordFile(v.env), -1);
  EXPECT_TRUE(Backups(v.dir.path()).empty());
}

TEST(ConversionVariants, PerTerminalFilesAndIndependentTags) {
  for (int32_t terminal : {12, -1}) {
    VirtualEnv v;
    const std::string n = std::to_string(terminal);
    WriteFile(v.dir.path() + "pclog" + n + ".dat", kStrayThenTwo);
    EXPECT_EQ(ConvertRecordFile(v.env, PerTerminalConversion(terminal)), 0);
    // Both flag bits of the second record add 90.
    EXPECT_EQ(ReadFile(v.dir.path() + "pclog" + n + ".txt"),
              "00025808:302009051535\r\n00000708:302009051595\r\n");
    EXPECT_FALSE(std::filesystem::exists(v.dir.path() + "pclog.txt"));
    EXPECT_EQ(Backups(v.dir.path()),
              (std::vector<std::string>{"k0517140310_35.dat", "k0517140310_35.txt"}));
    EXPECT_EQ(ReadFile(v.dir.path() + "downbak/k0517140310_35.dat"), AsText(kStrayThenTwo));
  }
}

TEST(ConversionVariants, HostFilesBackUpOnlyTheText) {
  VirtualEnv v;
  const std::string dir = v.dir.path();
  WriteFile(dir + "site1.dat", kStrayThenTwo);
  EXPECT_EQ(ConvertHostFile(v.env, dir, "site1", RecordKind::kClocking), 0);
  EXPECT_EQ(ElapsedMs(v), 1000);
  EXPECT_EQ(ReadFile(dir + "site1.txt"), kStrayThenTwoText);
  EXPECT_EQ(Backups(dir), (std::vector<std::string>{"k0517140310_35.txt"}));

  WriteFile(dir + "till.dat", kConsumption);
  EXPECT_EQ(ConvertHostFile(v.env, dir, "till", RecordKind::kConsumption), 0);
  EXPECT_EQ(ElapsedMs(v), 1000 + 1300);
  const std::string line = "4 0000012345 000 -000150 20090515 08:30:00 001";
  EXPECT_EQ(ReadFile(dir + "till.txt"), line + std::string(1, '\0') + "\r\n");
  // Keyed on the first record's device, two digits.
  EXPECT_EQ(Backups(dir), (std::vector<std::string>{"k0517140310_35.txt", "k0517140311_01.txt"}));
}

// Files an earlier run left in the backup folder: name and content.
void PrefillBackups(const std::string& dir,
                    std::initializer_list<std::pair<std::string, std::string>> files) {
  std::filesystem::create_directory(dir + "downbak");
  for (const auto& [name, text] : files) WriteFile(dir + "downbak/" + name, text);
}

TEST(Backups, NamesAndSuffixes) {
  EXPECT_EQ(BackupName("0517140309", "35", ".txt"), "k0517140309_35.txt");
  EXPECT_EQ(BackupName("0517140309", "00", ".dat", 1), "k0517140309_00.dat");
  EXPECT_EQ(BackupName("0517140309", "35", ".txt", 2), "k0517140309_35-2.txt");
  EXPECT_EQ(BackupName("0517140309", "200", ".txt", 12), "k0517140309_200-12.txt");
}

TEST(Backups, LeftoverCopyNamesAreNeverReused) {
  VirtualEnv v;
  const std::string dir = v.dir.path();
  PrefillBackups(dir, {{"k.txt", "left over\r\n"}, {"k.dat", "left over\r\n"}});
  WriteFile(dir + "pclog.dat", kStrayThenTwo);
  EXPECT_EQ(ConvertRecordFile(v.env), 0);
  EXPECT_EQ(ReadFile(dir + "downbak/k.txt"), "left over\r\n");
  EXPECT_EQ(ReadFile(dir + "downbak/k0517140310_35.txt"), kStrayThenTwoText);
  EXPECT_EQ(ReadFile(dir + "downbak/k0517140310_35.dat"), AsText(kStrayThenTwo));
}

TEST(Backups, SameSecondAndTagGetsTheNextFreeName) {
  VirtualEnv v;
  const std::string dir = v.dir.path();
  PrefillBackups(dir,
                 {{"k0517140310_35.txt", "older\r\n"}, {"k0517140310_35-2.txt", "older 2\r\n"}});
  WriteFile(dir + "site1.dat", kStrayThenTwo);
  EXPECT_EQ(ConvertHostFile(v.env, dir, "site1", RecordKind::kClocking), 0);
  // Again within the same second, with other records but the same tag.
  v.clock.SetLocalBase({2026, 5, 17, 14, 3, 8});
  WriteFile(dir + "site1.dat", Bytes{0x00, 0x09, 0x95, 0x4F, 0x28, 0x5E});
  EXPECT_EQ(ConvertHostFile(v.env, dir, "site1", RecordKind::kClocking), 0);

  EXPECT_EQ(ReadFile(dir + "downbak/k0517140310_35.txt"), "older\r\n");
  EXPECT_EQ(ReadFile(dir + "downbak/k0517140310_35-2.txt"), "older 2\r\n");
  EXPECT_EQ(ReadFile(dir + "downbak/k0517140310_35-3.txt"), kStrayThenTwoText);
  EXPECT_EQ(ReadFile(dir + "downbak/k0517140310_35-4.txt"), "00000908:302009051535\r\n");
  EXPECT_EQ(Backups(dir).size(), 4u);
}

TEST(Backups, UnreadableSourceLeavesNothing) {
  VirtualEnv v;
  const std::string folder = v.dir.path() + "downbak/";
  ASSERT_TRUE(EnsureFolder(v.env, folder));
  EXPECT_EQ(BackupCopy(v.env, v.dir.path() + "missing.txt", folder, "00", ".txt"), std::nullopt);
  EXPECT_TRUE(Backups(v.dir.path()).empty());
}

// Network downloads of several terminals run in parallel threads, each with
// its own Env, over one data folder: every conversion keeps its backups.
TEST(Backups, ParallelConversionsInOneSecondKeepEveryBackup) {
  VirtualEnv shared;
  const std::string dir = shared.dir.path();
  constexpr int kTerminals = 8;
  std::set<std::string> sources;
  for (int t = 1; t <= kTerminals; ++t) {
    Bytes records = {0x01, 0x02, 0x95, 0x4F, 0x28, 0x5E};
    records[1] = static_cast<uint8_t>(t);
    WriteFile(dir + "pclog" + std::to_string(t) + ".dat", records);
    sources.insert(AsText(records));
  }
  std::vector<int> results(kTerminals + 1, 99);
  std::vector<std::thread> threads;
  for (int t = 1; t <= kTerminals; ++t) {
    threads.emplace_back([&, t] {
      VirtualEnv own;
      own.env.dataDir = dir;
      results[static_cast<size_t>(t)] = ConvertRecordFile(own.env, PerTerminalConversion(t));
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 1; t <= kTerminals; ++t) EXPECT_EQ(results[static_cast<size_t>(t)], 0);

  std::set<std::string> datCopies;
  int txtCopies = 0;
  for (const std::string& name : Backups(dir)) {
    ASSERT_EQ(name.rfind("k0517140310_35", 0), 0u) << name;
    if (name.ends_with(".dat"))
      datCopies.insert(ReadFile(dir + "downbak/" + name));
    else if (name.ends_with(".txt"))
      ++txtCopies;
    else
      ADD_FAILURE() << "stray file " << name;
  }
  EXPECT_EQ(datCopies, sources);
  EXPECT_EQ(txtCopies, kTerminals);
}

}  // namespace
}  // namespace wpl::records
