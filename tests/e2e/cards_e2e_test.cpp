// Card numbers and the real-time fetch against pclog-sim in real time: a card
// set and read back, records fetched over both links, each host thread with
// its own result text, and pclog watch receiving a queue in order.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "download/realtime.h"
#include "download_server.h"
#include "run_cli.h"
#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

// The texts of the records pclog-sim generates for --realtime-records N
// --realtime-seed S, in queue order.
std::vector<std::string> Texts(uint32_t count, uint32_t seed) {
  const auto bytes = sim::GenerateRecords(count, seed);
  std::vector<std::string> out;
  for (size_t i = 0; i < bytes.size(); i += 6)
    out.push_back(download::RealtimeText(std::span<const uint8_t, 6>(bytes.data() + i, 6)));
  return out;
}

TEST(Cards, SetACardAndReadItBack) {
  PortFolder ports;
  SimProcess sim({"--link", ports.Port(2), "--sn-length", "10", "--realtime-records", "2",
                  "--realtime-seed", "4"},
                 ports.Port(2));
  EXPECT_EQ(_WHATSN(1, 2, 0x1234), 65535);
  EXPECT_EQ(_SETSN(1, 2, 0x1234, 4321), 0);
  EXPECT_EQ(_WHATSN(1, 2, 0x1234), 4321);
  EXPECT_EQ(_GETSNLENTH(1, 2), 10);
  EXPECT_EQ(_DELSN(1, 2, 0x1234), 0);
  EXPECT_EQ(_WHATSN(1, 2, 0x1234), 65535);
  EXPECT_EQ(_SETLOCKNUM(1, 2, 0x0102), 0);
  EXPECT_EQ(_DELLOCKNUM(1, 2), 0);
  // The serial fetch: both records in order, then the twenty zeros.
  const auto texts = Texts(2, 4);
  EXPECT_STREQ(_REALDOWNLOAD(1, 2), texts[0].c_str());
  EXPECT_STREQ(_REALDOWNLOAD(1, 2), texts[1].c_str());
  EXPECT_STREQ(_REALDOWNLOAD(1, 2), download::kNoRecordText);
}

TEST(Cards, NetworkCardsAndFetch) {
  PortFolder dir;
  const std::string ready = dir.dir() + "/ready";
  SimProcess sim(
      {"--tcp", "127.0.41.1", "--realtime-records", "1", "--realtime-seed", "6", "--ready", ready},
      ready);
  EXPECT_EQ(_LANSETSN("127.0.41.1", 5, 6), 0);
  EXPECT_EQ(_LANDELSN("127.0.41.1", 5), 0);
  EXPECT_STREQ(_LANREALDOWNLOAD("127.0.41.1"), Texts(1, 6)[0].c_str());
  EXPECT_STREQ(_LANREALDOWNLOAD("127.0.41.1"), download::kNoRecordText);
  EXPECT_STREQ(_LANREALDOWNLOAD("127.0.41.2"), download::kNoRecordText);
  EXPECT_STREQ(_LANREALDOWNLOAD(nullptr), download::kNoRecordText);
}

// Two host threads fetch from two terminals at once: each reads its own
// terminal's records through the pointer it was given, never the other's.
TEST(Cards, EachThreadItsOwnText) {
  PortFolder dir;
  const std::string readyA = dir.dir() + "/a", readyB = dir.dir() + "/b";
  constexpr int kRecords = 40;
  SimProcess a({"--tcp", "127.0.41.3", "--realtime-records", std::to_string(kRecords),
                "--realtime-seed", "11", "--ready", readyA},
               readyA);
  SimProcess b({"--tcp", "127.0.41.4", "--realtime-records", std::to_string(kRecords),
                "--realtime-seed", "12", "--ready", readyB},
               readyB);
  auto fetchAll = [](const char* ip, std::vector<std::string>& got, const char*& last) {
    for (int i = 0; i < kRecords; ++i) {
      last = _LANREALDOWNLOAD(ip);
      got.emplace_back(last);
    }
  };
  std::vector<std::string> gotA, gotB;
  const char* lastA = nullptr;
  const char* lastB = nullptr;
  std::thread ta([&] { fetchAll("127.0.41.3", gotA, lastA); });
  std::thread tb([&] { fetchAll("127.0.41.4", gotB, lastB); });
  ta.join();
  tb.join();
  EXPECT_EQ(gotA, Texts(kRecords, 11));
  EXPECT_EQ(gotB, Texts(kRecords, 12));
  EXPECT_NE(lastA, lastB);
  // Each buffer still holds its thread's last record.
  EXPECT_EQ(std::string(lastA), Texts(kRecords, 11).back());
  EXPECT_EQ(std::string(lastB), Texts(kRecords, 12).back());
}

// The terminal misses every third acknowledgement, so those records come
// again: watch prints every record once, in order.
TEST(Cards, WatchReceivesTheQueueInOrder) {
  PortFolder dir;
  const std::string ready = dir.dir() + "/ready";
  constexpr int kRecords = 30;
  SimProcess sim({"--tcp", "127.0.41.5", "--realtime-records", std::to_string(kRecords),
                  "--realtime-seed", "21", "--drop-ack-every", "3", "--ready", ready},
                 ready);
  const auto [status, out] =
      RunCli("watch --ip 127.0.41.5 --interval-ms 20 --count " + std::to_string(kRecords));
  EXPECT_EQ(status, 0);
  std::vector<std::string> texts;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string terminal, text;
    words >> terminal >> text;
    EXPECT_EQ(terminal, "127.0.41.5");
    texts.push_back(text);
  }
  EXPECT_EQ(texts, Texts(kRecords, 21));
}

// Records queued while watch runs, from a file the simulator watches, come
// out as JSON lines.
TEST(Cards, WatchPrintsFedRecordsAsJson) {
  PortFolder dir;
  const std::string ready = dir.dir() + "/ready", feed = dir.dir() + "/feed";
  std::ofstream(feed).flush();
  SimProcess sim({"--tcp", "127.0.41.6", "--realtime-feed", feed, "--ready", ready}, ready);
  std::pair<int, std::string> result;
  std::thread watch(
      [&] { result = RunCli("watch --ip 127.0.41.6 --interval-ms 20 --json --count 2"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  {
    std::ofstream out(feed, std::ios::app);
    out << "01 02 95 4F 28 5E\n# a comment\n0102 95CF 285E\n";
  }
  watch.join();
  EXPECT_EQ(result.first, 0);
  std::istringstream lines(result.second);
  std::string first, second;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(first.rfind("{\"terminal\":\"127.0.41.6\",\"text\":\"00025820090515083035\","
                        "\"number\":258,\"year\":2009,\"month\":5,\"day\":15,\"hour\":8,"
                        "\"minute\":30,\"tag\":35,\"received\":\"",
                        0),
            0u)
      << result.second;
  EXPECT_NE(second.find("\"text\":\"00025820090515083095\""), std::string::npos) << second;
}

}  // namespace
}  // namespace wpl::e2e
