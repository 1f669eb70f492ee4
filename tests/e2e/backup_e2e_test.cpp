// The fingerprint backup against pclog-sim on pseudo-terminals, in real
// time: a 100 KiB backup received from one module, sent to another and
// received back the same; and a receive cut off in the middle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

using Bytes = std::vector<uint8_t>;

void Write(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Backup, ReceivedSentAndReceivedBackTheSame) {
  PortFolder ports;
  // A store as a receive leaves it: 01 36 02 first.
  Bytes store(100 * 1024);
  std::mt19937 random(7);
  for (uint8_t& b : store) b = static_cast<uint8_t>(random());
  store[0] = 0x01, store[1] = 0x36, store[2] = 0x02;
  const std::string storeFile = ports.dir() + "/store.bin";
  Write(storeFile, store);
  SimProcess first({"--link", ports.Port(2), "--backup-file", storeFile, "--backup-block", "1586",
                    "--backup-ready-ms", "300"},
                   ports.Port(2));
  SimProcess second({"--link", ports.Port(3), "--backup-mode", "--backup-size", "10"},
                    ports.Port(3));
  const std::string zwbak = ports.dir() + "/zwbak.txt";

  ASSERT_EQ(_ZWBACKUP(1, 2, 5), 0);
  ASSERT_EQ(_RXZWFILE(2), 0);
  EXPECT_EQ(Read(zwbak), store);
  ASSERT_EQ(_TXZWFILE(3), 0);
  std::filesystem::remove(zwbak);
  ASSERT_EQ(_RXZWFILE(3), 0);
  EXPECT_EQ(Read(zwbak), store);
}

TEST(Backup, AReceiveCutOffLeavesZwbakUntouched) {
  PortFolder ports;
  SimProcess sim({"--link", ports.Port(1), "--backup-mode", "--backup-size", "8000",
                  "--backup-fault", "drop-after=3"},
                 ports.Port(1));
  const std::string zwbak = ports.dir() + "/zwbak.txt";
  const Bytes old{0x01, 0x36, 0x02, 'o', 'l', 'd'};
  Write(zwbak, old);
  EXPECT_EQ(_RXZWFILE(1), 1);
  EXPECT_EQ(Read(zwbak), old);
  // The three blocks accepted before the cut, kept beside it.
  EXPECT_EQ(Read(ports.dir() + "/zwbak.new").size(), 3u * 1024);
}

}  // namespace
}  // namespace wpl::e2e
