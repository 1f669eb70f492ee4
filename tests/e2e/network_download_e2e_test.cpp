// The network downloads of the Linux library against pclog-sim terminals on
// loopback TCP, in real time. Every test has loopback addresses of its own
// (127.0.3.x) so tests run in parallel.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "download/network_download.h"
#include "download_server.h"
#include "exports/results.h"
#include "link/lan_connection.h"
#include "record_files.h"
#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// A frame as the simulator logs it: "ADDRESS rx", the signature, the
// address byte, the command byte and their complements.
std::string FrameLine(const std::string& ip, const char* addressAndCommand) {
  return ip + " rx 4B 4F 52 56 41 4E 45 4D 5A 54 " + addressAndCommand;
}

// The records a terminal announces to another download (which clears it when
// it succeeds).
uint32_t RecordsHeld(const char* ip) {
  Env env = ProcessEnv();
  return download::NetworkDownload(env, ip, {download::NetworkDownloadKind::kPerTerminal, 99})
      .announced;
}

// The terminal's store as pclog-sim generates it from --records and --seed.
std::string Store(uint32_t records, uint32_t seed) {
  const auto bytes = sim::GenerateRecords(records, seed);
  return {bytes.begin(), bytes.end()};
}

// pclog-sim serving `args` (--tcp ... and record options) with a log, in a
// data folder of its own that W_PCLOG_DIR points at.
struct Site {
  explicit Site(std::vector<std::string> args)
      : log(dir.dir() + "/sim.log"),
        sim(WithLog(std::move(args), log, dir.dir() + "/ready"), dir.dir() + "/ready") {}
  static std::vector<std::string> WithLog(std::vector<std::string> args, const std::string& log,
                                          const std::string& ready) {
    args.insert(args.end(), {"--log", log, "--ready", ready});
    return args;
  }
  std::string File(const std::string& name) const { return ReadFile(dir.dir() + "/" + name); }
  bool Exists(const std::string& name) const {
    return std::filesystem::exists(dir.dir() + "/" + name);
  }
  std::string Log() const { return ReadFile(log); }

  PortFolder dir;
  std::string log;
  SimProcess sim;
};

Clock::duration Timed(const std::function<void()>& call) {
  const auto start = Clock::now();
  call();
  return Clock::now() - start;
}

TEST(NetworkDownloadE2e, AllRecordsATerminalCanHold) {
  // 131,071 records: the header's type byte 3 adds 65,536 to its count.
  constexpr uint32_t kRecords = 131071;
  PortFolder dir;
  const std::string ready = dir.dir() + "/ready";
  SimProcess sim({"--tcp", "127.0.3.1", "--records", std::to_string(kRecords), "--seed", "31",
                  "--ready", ready},
                 ready);
  ASSERT_EQ(_LANDOWNLOAD("127.0.3.1"), 0);
  const std::string store = Store(kRecords, 31);
  EXPECT_TRUE(ReadFile(dir.dir() + "/pclog.dat") == store);
  EXPECT_TRUE(ReadFile(dir.dir() + "/pclog.txt") == ExpectedText(store));
  // The terminal was cleared: a second download finds nothing.
  ASSERT_EQ(_LANDOWNLOAD("127.0.3.1"), 0);
  EXPECT_TRUE(ReadFile(dir.dir() + "/pclog.dat").empty());
}

TEST(NetworkDownloadE2e, FiveBadChecksumsInARowAreAskedForAgainASixthFails) {
  const std::string store = Store(100, 2);
  {
    Site site({"--tcp", "127.0.3.2", "--records", "100", "--seed", "2", "--packet-fault",
               "2:bad-checksum:5"});
    EXPECT_EQ(_LANDOWNLOAD("127.0.3.2"), 0);
    EXPECT_EQ(site.File("pclog.dat"), store);
    EXPECT_EQ(RecordsHeld("127.0.3.2"), 0u);
  }
  Site site({"--tcp", "127.0.3.3", "--records", "100", "--seed", "2", "--packet-fault",
             "2:bad-checksum:6"});
  EXPECT_EQ(_LANDOWNLOAD("127.0.3.3"), 1);
  // The first packet was accepted; the failed download still converts it.
  EXPECT_EQ(site.File("pclog.dat"), store.substr(0, 168));
  EXPECT_EQ(site.File("pclog.txt"), ExpectedText(store.substr(0, 168)));
  EXPECT_EQ(RecordsHeld("127.0.3.3"), 100u);
}

TEST(NetworkDownloadE2e, ManyDownloadNamesItsFilesByTheTerminalNumber) {
  Site site({"--tcp", "127.0.3.4", "--tcp", "127.0.3.5", "--records", "40", "--seed", "4"});
  const std::string store = Store(40, 4);
  const std::string text = ExpectedText(store, records::TagRule::kIndependent);
  EXPECT_EQ(_LANMANYDOWNLOAD("127.0.3.4", 12), 0);
  EXPECT_EQ(_LANMANYDOWNLOAD("127.0.3.5", -1), 0);
  for (const std::string n : {"12", "-1"}) {
    EXPECT_EQ(site.File("pclog" + n + ".dat"), store) << n;
    EXPECT_EQ(site.File("pclog" + n + ".txt"), text) << n;
  }
  EXPECT_FALSE(site.Exists("pclog.dat"));
  EXPECT_EQ(RecordsHeld("127.0.3.4"), 0u);
  EXPECT_EQ(RecordsHeld("127.0.3.5"), 0u);
}

TEST(NetworkDownloadE2e, AddressedDownloadSendsTheHostsByteAndClearsThrough0xFA) {
  struct Case {
    const char* ip;
    int address;
    const char* frame;  // address byte, complement, command, complement
  };
  const Case cases[] = {{"127.0.3.6", 0x00, "00 FF 01 FE"}, {"127.0.3.7", 0xFF, "FF 00 01 FE"}};
  for (const Case& k : cases) {
    Site site({"--tcp", k.ip, "--address", std::to_string(k.address), "--records", "30"});
    EXPECT_EQ(_LANDOWNLOADADDR(k.ip, k.address), 0) << k.ip;
    EXPECT_EQ(site.File("pclog.dat"), Store(30, 1)) << k.ip;
    EXPECT_EQ(site.File("pclog.txt"), ExpectedText(Store(30, 1))) << k.ip;
    // The frame is logged before it is answered.
    EXPECT_NE(site.Log().find(FrameLine(k.ip, k.frame)), std::string::npos) << k.ip;
    // Cleared through 0xFA: the next download finds nothing.
    EXPECT_EQ(_LANDOWNLOADADDR(k.ip, k.address), 0) << k.ip;
    EXPECT_TRUE(site.File("pclog.dat").empty()) << k.ip;
  }
}

TEST(NetworkDownloadE2e, TerminalThatNeverAnswersIsGivenUpAfterTheSilenceLimit) {
  Site site({"--tcp", "127.0.3.8,silent", "--records", "10"});
  // The silence limit, then the 1 s ending pause; no conversion after a
  // failure.
  const auto took = Timed([] { EXPECT_EQ(_LANMANYDOWNLOAD("127.0.3.8", 3), 1); });
  const auto limit = link::LanRow("_LANMANYDOWNLOAD").silenceLimit;
  EXPECT_GE(took, limit + seconds(1));
  EXPECT_LT(took, limit + seconds(3));
  EXPECT_TRUE(site.File("pclog3.dat").empty());
  EXPECT_FALSE(site.Exists("pclog3.txt"));
}

TEST(NetworkDownloadE2e, HangupMidTransferKeepsExactlyWhatWasAccepted) {
  // ACK, header, packets 1 and 2, then half of packet 3.
  Site site({"--tcp", "127.0.3.9,close-after-bytes=" + std::to_string(1 + 8 + 174 + 174 + 87),
             "--records", "100", "--seed", "9"});
  const auto took = Timed([] { EXPECT_EQ(_LANDOWNLOAD("127.0.3.9"), 1); });
  EXPECT_LT(took, seconds(6));
  const std::string kept = Store(100, 9).substr(0, 2 * 168);
  EXPECT_EQ(site.File("pclog.dat"), kept);
  EXPECT_EQ(site.File("pclog.txt"), ExpectedText(kept));
  EXPECT_EQ(RecordsHeld("127.0.3.9"), 100u);
}

// A listener on port 1024 whose queue is full: one connection waits in it
// unaccepted and the system drops further SYNs, so a connect neither stands
// nor is refused, as with an address where nothing answers.
class FullListener {
 public:
  explicit FullListener(const char* ip) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(link::kTerminalPort);
    ::inet_pton(AF_INET, ip, &sa.sin_addr);
    const auto* addr = reinterpret_cast<const sockaddr*>(&sa);
    const int on = 1;
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener_, addr, sizeof sa) != 0 || ::listen(listener_, 0) != 0)
      throw std::runtime_error("cannot listen on " + std::string(ip));
    queued_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(queued_, addr, sizeof sa) != 0) throw std::runtime_error("queue not filled");
  }
  ~FullListener() {
    ::close(queued_);
    ::close(listener_);
  }

 private:
  int listener_ = -1, queued_ = -1;
};

TEST(NetworkConnectE2e, ConnectThatNeverStandsEndsAtItsLimit) {
  FullListener full("127.0.3.10");
  link::LanExport row = link::LanRow("_LANRESTOREALL");
  row.connectLimit = milliseconds(300);
  Env env = ProcessEnv();
  const auto took = Timed([&] {
    EXPECT_EQ(wpl::exports::DoneOrFailed(link::RunLanCommand(env, "127.0.3.10", row)), 1);
  });
  EXPECT_GE(took, milliseconds(300));
  EXPECT_LT(took, seconds(2));

  // The same, straight on the system's socket.
  auto socket = SystemSockets().Create();
  ASSERT_NE(socket, nullptr);
  const auto direct = Timed([&] {
    EXPECT_FALSE(socket->Connect({{127, 0, 3, 10}}, link::kTerminalPort, milliseconds(200)));
  });
  EXPECT_GE(direct, milliseconds(200));
  EXPECT_LT(direct, seconds(2));
}

TEST(NetworkConnectE2e, RefusedConnectEndsAtOnce) {
  auto socket = SystemSockets().Create();
  ASSERT_NE(socket, nullptr);
  const auto took = Timed([&] {
    EXPECT_FALSE(socket->Connect({{127, 0, 3, 11}}, link::kTerminalPort, seconds(5)));
  });
  EXPECT_LT(took, seconds(1));
}

// pclog lan-download with `args` in the site's folder: its exit status.
int LanDownloadCommand(const Site& site, const std::string& args) {
  const std::string cli = PCLOG_CLI;
  const int status = std::system((cli + " lan-download " + args + " > " + site.dir.dir() +
                                  "/out.txt 2> " + site.dir.dir() + "/err.txt")
                                     .c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LanDownloadCommandE2e, TerminalsSideBySideEachIntoItsOwnFiles) {
  Site site({"--tcp", "127.0.3.12", "--tcp", "127.0.3.13", "--tcp", "127.0.3.14", "--tcp",
             "127.0.3.15,nak", "--records", "300", "--seed", "12"});
  const std::string store = Store(300, 12);
  // N is the position in the list unless given as IP=N; one failure fails
  // the command, but not the other downloads.
  EXPECT_EQ(LanDownloadCommand(site, "127.0.3.12 127.0.3.13=7 127.0.3.14 127.0.3.15 --parallel 3"),
            1);
  for (const char* n : {"1", "7", "3"})
    EXPECT_EQ(site.File("pclog" + std::string(n) + ".dat"), store) << n;
  EXPECT_TRUE(site.File("pclog4.dat").empty());
  EXPECT_FALSE(site.Exists("pclog4.txt"));
  const std::string table = site.File("out.txt");
  EXPECT_NE(table.find("127.0.3.15      4         0"), std::string::npos) << table;
  EXPECT_NE(table.find("4 terminals, 1 failed, 900 records"), std::string::npos) << table;
  // Each was cleared: downloaded again, they bring nothing.
  EXPECT_EQ(LanDownloadCommand(site, "127.0.3.12 127.0.3.13 127.0.3.14 --parallel 2"), 0);
  for (const char* n : {"1", "2", "3"})
    EXPECT_TRUE(site.File("pclog" + std::string(n) + ".dat").empty()) << n;
}

TEST(LanDownloadCommandE2e, OneTerminalAndRefusedArguments) {
  Site site({"--tcp", "127.0.3.16", "--tcp", "127.0.3.17", "--records", "50"});
  EXPECT_EQ(LanDownloadCommand(site, "127.0.3.16"), 0);
  EXPECT_EQ(site.File("pclog.dat"), Store(50, 1));
  EXPECT_NE(site.File("out.txt").find("50 of 50 records"), std::string::npos)
      << site.File("out.txt");
  EXPECT_EQ(LanDownloadCommand(site, "127.0.3.17 --terminal 5"), 0);
  EXPECT_EQ(site.File("pclog5.dat"), Store(50, 1));
  // Refused before any connection (not the status 1 of a failed download).
  const char* const refused[] = {
      "127.0.3.16=1 127.0.3.17=1",          // the same files twice
      "127.0.3.16 127.0.3.16",              // one terminal twice
      "127.0.3.16 127.0.3.17 --address 5",  // both into pclog.dat
      "127.0.3.16 --address 5 --parallel 2",
      "127.0.3.16=x",
      "127.0.3",
      "127.0.3.16 --parallel 0",
  };
  for (const char* args : refused) {
    const int status = LanDownloadCommand(site, args);
    EXPECT_NE(status, 0) << args;
    EXPECT_NE(status, 1) << args;
  }
}

}  // namespace
}  // namespace wpl::e2e
