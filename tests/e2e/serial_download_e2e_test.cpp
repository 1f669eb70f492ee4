// _DOWNLOAD of the Linux library against pclog-sim on a pty, in real time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "record_files.h"
#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

TEST(SerialDownload, TenThousandRecordsThroughRandomFaults) {
  PortFolder ports;
  const std::string source = ports.dir() + "/source.dat";
  // The terminal's store, kept for comparison: 10,000 valid records.
  {
    std::ofstream out(source, std::ios::binary);
    std::mt19937 rng(11);
    for (int i = 0; i < 10000; ++i) {
      const int number = static_cast<int>(rng() % 65536), year = 5 + static_cast<int>(rng() % 11);
      const uint8_t rec[6] = {static_cast<uint8_t>(number >> 8),
                              static_cast<uint8_t>(number),
                              static_cast<uint8_t>(year << 4 | (1 + rng() % 12)),
                              static_cast<uint8_t>((rng() % 4) << 6 | (1 + rng() % 28)),
                              static_cast<uint8_t>((rng() % 8) << 5 | (rng() % 24)),
                              static_cast<uint8_t>((rng() % 4) << 6 | (rng() % 60))};
      out.write(reinterpret_cast<const char*>(rec), 6);
    }
  }
  SimProcess sim({"--link", ports.Port(2), "--address", "3", "--record-file", source,
                  "--random-faults", "0.08", "--fault-seed", "5"},
                 ports.Port(2));
  ASSERT_EQ(_DOWNLOAD(3, 1), 0);

  const std::string records = ReadFile(source);
  EXPECT_EQ(ReadFile(ports.dir() + "/pclog.dat"), records);
  const std::string text = ReadFile(ports.dir() + "/pclog.txt");
  EXPECT_EQ(text, ExpectedText(records));

  // One backup of each file, with the first record's tag in the name.
  const std::string tag = text.substr(19, 2);
  int backups = 0;
  for (const auto& e : std::filesystem::directory_iterator(ports.dir() + "/downbak")) {
    const std::string name = e.path().filename().string();
    ASSERT_EQ(name.substr(name.size() - 7, 3), "_" + tag) << name;
    EXPECT_EQ(ReadFile(e.path().string()), name.ends_with(".dat") ? records : text) << name;
    ++backups;
  }
  EXPECT_EQ(backups, 2);

  // The terminal was cleared: a second download finds nothing.
  ASSERT_EQ(_DOWNLOAD(3, 2), 0);
  EXPECT_TRUE(ReadFile(ports.dir() + "/pclog.dat").empty());
}

TEST(SerialDownload, WrongTotalKeepsTheRecordsOnTheTerminal) {
  PortFolder ports;
  SimProcess sim({"--link", ports.Port(1), "--records", "50", "--end-fault", "wrong-total"},
                 ports.Port(1));
  EXPECT_EQ(_DOWNLOAD(1, 1), 1);
  EXPECT_EQ(ReadFile(ports.dir() + "/pclog.dat").size(), 300u);
  EXPECT_EQ(ReadFile(ports.dir() + "/pclog.txt").size(), 50u * 23);
}

}  // namespace
}  // namespace wpl::e2e
