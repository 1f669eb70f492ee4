// The conversion exports and the pclog conversion commands on real files, in
// real time (each conversion pauses a second before its backup).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "run_cli.h"
#include "file_contents.h"
#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

using testing::ReadFile;

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
std::vector<std::string> BackupNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir + "downbak"))
    names.push_back(e.path().filename().string());
  return names;
}

const std::string kStrayThenTwo("\x07\x01\x02\x95\x4F\x28\x5E\x00\x07\x95\xCF\x28\x5E", 13);

TEST(Conversions, ConverFileWritesTextAndOneBackup) {
  PortFolder folder;
  const std::string dir = folder.dir() + "/";
  WriteBytes(dir + "site1.dat", kStrayThenTwo);
  EXPECT_EQ(_CONVERFILE(dir.c_str(), "site1"), 0);
  EXPECT_EQ(ReadFile(dir + "site1.txt"), "00025808:302009051535\r\n00000708:302009051565\r\n");
  const auto names = BackupNames(dir);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(std::regex_match(names[0], std::regex("k[0-9]{10}_35\\.txt"))) << names[0];
}

TEST(Conversions, ConverXfFileWritesFixedLines) {
  PortFolder folder;
  const std::string dir = folder.dir() + "/";
  const std::string record("\x09\x05\x0F\x08\x1E\x00\x04\x00\x00\x30\x39\xAB\x03\x00\x32\xFF\x07",
                           17);
  WriteBytes(dir + "till.dat", record);
  EXPECT_EQ(_CONVERXFFILE(dir.c_str(), "till"), 0);
  EXPECT_EQ(ReadFile(dir + "till.txt"),
            std::string("4 0000012345 003 +000150 20090515 08:30:00 007\0\r\n", 49));
  const auto names = BackupNames(dir);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(std::regex_match(names[0], std::regex("k[0-9]{10}_07\\.txt"))) << names[0];
}

TEST(Conversions, MissingArgumentsFail) {
  EXPECT_EQ(_CONVERFILE(nullptr, "x"), 1);
  EXPECT_EQ(_CONVERXFFILE("/tmp/", nullptr), 1);
}

TEST(Conversions, CliConvertAndDump) {
  PortFolder folder;
  const std::string dir = folder.dir() + "/";
  WriteBytes(dir + "site1.dat", kStrayThenTwo);
  EXPECT_EQ(RunCli("convert " + dir + " site1").first, 0);
  EXPECT_EQ(ReadFile(dir + "site1.txt").size(), 46u);

  const auto [code, out] = RunCli("dump " + dir + "site1.dat");
  EXPECT_EQ(code, 0);
  EXPECT_NE(out.find("invalid year"), std::string::npos) << out;
  EXPECT_NE(out.find("00025808:302009051535"), std::string::npos) << out;
  EXPECT_NE(out.find("2 lines, 1 positions rejected"), std::string::npos) << out;
  EXPECT_EQ(RunCli("dump " + dir + "absent.dat").first, 1);
}

}  // namespace
}  // namespace wpl::e2e
