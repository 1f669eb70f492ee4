// pclog collect and pclog records as a site runs them: the real tool, a
// SQLite file, and pclog-sim on loopback, the collector killed at each step.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "sim_process.h"

namespace collect {
namespace {

using wpl::e2e::PortFolder;
using wpl::e2e::SimProcess;

// pclog with `args`, its stdout and stderr into files of the folder, and
// `env` added to its environment.
class Cli {
 public:
  Cli(const std::string& dir, std::vector<std::string> args,
      std::vector<std::pair<std::string, std::string>> env = {})
      : out_(dir + "/out" + std::to_string(++count_)), err_(out_ + ".err") {
    pid_ = ::fork();
    if (pid_ == 0) {
      for (auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
      const int o = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(o, 1);
      ::dup2(e, 2);
      args.insert(args.begin(), PCLOG_CLI);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~Cli() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  bool Running() {
    int status = 0;
    return ::waitpid(pid_, &status, WNOHANG) == 0;
  }
  std::string Out() const { return Read(out_); }
  std::string Err() const { return Read(err_); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  pid_t pid_ = -1;
  std::string out_, err_;
  static inline int count_ = 0;
};

class CollectE2e : public ::testing::Test {
 protected:
  // A site of network terminals at `ips`, each downloaded every `every`.
  void WriteSite(const std::vector<std::string>& ips, const std::string& every = "10m",
                 const std::string& extra = "") {
    std::ofstream f(Site());
    f << "site = \"plant-e2e\"\n" << extra;
    for (size_t i = 0; i < ips.size(); ++i)
      f << "[[terminal]]\nid = \"t" << i << "\"\nip = \"" << ips[i] << "\"\nevery = \"" << every
        << "\"\n";
  }
  std::string Site() const { return ports.dir() + "/site.toml"; }
  int Run(std::vector<std::string> args, std::vector<std::pair<std::string, std::string>> env = {},
          std::string* err = nullptr) {
    Cli cli(ports.dir(), std::move(args), std::move(env));
    const int rc = cli.Wait();
    if (err) *err = cli.Err();
    return rc;
  }
  std::vector<std::string> Lines(const std::string& format = "jsonl") {
    Cli cli(ports.dir(), {"records", "--config", Site(), "--format", format});
    EXPECT_EQ(cli.Wait(), 0) << cli.Err();
    std::vector<std::string> lines;
    std::stringstream s(cli.Out());
    for (std::string l; std::getline(s, l);) lines.push_back(l);
    return lines;
  }
  // The raw bytes of the stored records, each once: fewer than the rows
  // means a record was doubled.
  std::set<std::string> Raws() {
    std::set<std::string> raws;
    for (const std::string& l : Lines()) {
      const auto at = l.find("\"raw\":\"");
      raws.insert(l.substr(at + 7, 12));
    }
    return raws;
  }
  std::unique_ptr<SimProcess> Sim(const std::string& ip, int records, int seed = 1) {
    const std::string ready = ports.dir() + "/ready-" + ip;
    return std::make_unique<SimProcess>(
        std::vector<std::string>{"--tcp", ip, "--records", std::to_string(records), "--seed",
                                 std::to_string(seed), "--ready", ready},
        ready);
  }
  PortFolder ports;
};

TEST_F(CollectE2e, CheckNamesEveryMistakeWithItsLine) {
  std::ofstream(Site()) << "site = \"s\"\n[[terminal]]\nid = \"a\"\nip = \"1.2.3\"\n"
                           "every = \"soon\"\n";
  std::string err;
  EXPECT_EQ(Run({"collect", "--check", Site()}, {}, &err), 1);
  EXPECT_NE(err.find("site.toml:4: ip \"1.2.3\" is not an IPv4 address"), std::string::npos) << err;
  EXPECT_NE(err.find("site.toml:5: every must be a duration"), std::string::npos) << err;
  WriteSite({"127.0.64.1"});
  EXPECT_EQ(Run({"collect", "--check", Site()}), 0);
  // Reading a store that is not there is an error; nothing is made.
  EXPECT_EQ(Run({"records", "--store", ports.dir() + "/typo.db"}), 2);
  EXPECT_FALSE(std::ifstream(ports.dir() + "/typo.db"));
}

TEST_F(CollectE2e, OnceCollectsEveryTerminalAndRecordsReadsThem) {
  auto sim = Sim("127.0.64.2", 40);
  WriteSite({"127.0.64.2"});
  std::string err;
  ASSERT_EQ(Run({"collect", "--config", Site(), "--once"}, {}, &err), 0) << err;
  EXPECT_NE(err.find("t0 download: 40 records, 40 stored, 0 duplicates, cleared"),
            std::string::npos)
      << err;
  ASSERT_EQ(Run({"collect", "--config", Site(), "--once"}), 0);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 40u);
  EXPECT_EQ(Raws().size(), 40u);
  for (const char* field : {"\"id\":1,", "\"terminal\":\"t0\"", "\"person\":", "\"time\":\"20",
                            "\"tag\":", "\"raw\":\"", "\"source\":\"download\""})
    EXPECT_NE(lines[0].find(field), std::string::npos) << field << " in " << lines[0];
  EXPECT_EQ(Lines("csv")[0], "id,terminal,person,time,tag,raw,source,batch,received");
  Cli after(ports.dir(), {"records", "--config", Site(), "--after", "38", "--format", "csv"});
  ASSERT_EQ(after.Wait(), 0);
  const std::string tail = after.Out();
  EXPECT_EQ(std::count(tail.begin(), tail.end(), '\n'), 3);  // the header, 39 and 40
  // A consumer receives each record once, across runs.
  Cli first(ports.dir(), {"records", "--config", Site(), "--consumer", "payroll", "--limit", "30"});
  ASSERT_EQ(first.Wait(), 0);
  // Output that cannot be written does not move the consumer on.
  const std::string full = std::string(PCLOG_CLI) + " records --config " + Site() +
                           " --consumer payroll >/dev/full 2>/dev/null";
  EXPECT_NE(std::system(full.c_str()), 0);
  Cli second(ports.dir(), {"records", "--config", Site(), "--consumer", "payroll"});
  ASSERT_EQ(second.Wait(), 0);
  Cli third(ports.dir(), {"records", "--config", Site(), "--consumer", "payroll"});
  ASSERT_EQ(third.Wait(), 0);
  auto count = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
  EXPECT_EQ(count(first.Out()), 30);
  EXPECT_EQ(count(second.Out()), 10);
  EXPECT_EQ(count(third.Out()), 0);
}

TEST_F(CollectE2e, OnceFailsWhenATerminalWasNotCollected) {
  auto sim = Sim("127.0.64.3", 5);
  WriteSite({"127.0.64.3", "127.0.64.4"});  // nothing listens on the second
  std::string err;
  EXPECT_EQ(Run({"collect", "--config", Site(), "--once"}, {}, &err), 1);
  EXPECT_NE(err.find("t1 download failed: no connection"), std::string::npos) << err;
  EXPECT_EQ(Lines().size(), 5u);
}

// pclog-sim whose state (what each terminal holds at the end, how often it
// was cleared) is read back when it stops.
class StatefulSim {
 public:
  StatefulSim(const std::string& dir, std::vector<std::string> args)
      : state_(dir + "/sim-state"), ready_(dir + "/sim-ready") {
    args.push_back("--ready");
    args.push_back(ready_);
    args.insert(args.begin(), PCLOG_SIM);
    pid_ = ::fork();
    if (pid_ == 0) {
      const int o = ::open(state_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(o, 1);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    for (int i = 0; i < 500 && !std::ifstream(ready_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~StatefulSim() { Stop(); }
  // Stops it; its state as it printed it.
  std::string Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    return Cli::Read(state_);
  }

 private:
  std::string state_, ready_;
  pid_t pid_ = -1;
};

TEST_F(CollectE2e, ADownloadCutHalfwayStoresNothingAndClearsNothing) {
  const std::string ip = "127.0.64.9";
  StatefulSim sim(ports.dir(), {"--tcp", ip + ",close-after-bytes=400", "--records", "100"});
  WriteSite({ip});
  std::string err;
  EXPECT_EQ(Run({"collect", "--config", Site(), "--once"}, {}, &err), 1);
  EXPECT_NE(err.find("download broke off"), std::string::npos) << err;
  EXPECT_TRUE(Lines().empty());
  const std::string state = sim.Stop();
  EXPECT_NE(state.find("\"records\":100,\"clears\":0"), std::string::npos) << state;
}

TEST_F(CollectE2e, AClearLostIsFollowedByRepeatsAbsorbed) {
  const std::string ip = "127.0.64.10";
  StatefulSim sim(ports.dir(),
                  {"--tcp", ip, "--records", "30", "--command-fault", "0x0d:frame:silent"});
  WriteSite({ip});
  ASSERT_EQ(Run({"collect", "--config", Site(), "--once"}), 0);
  std::string err;
  ASSERT_EQ(Run({"collect", "--config", Site(), "--once"}, {}, &err), 0);
  EXPECT_NE(err.find("30 records, 0 stored, 30 duplicates"), std::string::npos) << err;
  EXPECT_EQ(Lines().size(), 30u);
  EXPECT_EQ(Raws().size(), 30u);
  const std::string state = sim.Stop();
  EXPECT_NE(state.find("\"records\":30,\"clears\":0"), std::string::npos) << state;
}

// Ended at once (as by SIGKILL) after each step, then run again: every
// record once.
class CollectKilled : public CollectE2e, public ::testing::WithParamInterface<const char*> {};

TEST_P(CollectKilled, LosesNothingAndDoublesNothing) {
  // Each step its own address: ctest runs them side by side.
  const std::string steps[] = {"downloaded", "spooled", "committed", "cleared"};
  const auto at = std::find(std::begin(steps), std::end(steps), GetParam()) - std::begin(steps);
  const std::string ip = "127.0.64." + std::to_string(20 + at);
  auto sim = Sim(ip, 60, 7);
  WriteSite({ip});
  // "spooled" is reached when the store refuses the commit.
  std::vector<std::pair<std::string, std::string>> env{{"PCLOG_COLLECT_CRASH", GetParam()}};
  if (std::string(GetParam()) == "spooled") env.emplace_back("PCLOG_COLLECT_FAIL", "store-commit");
  EXPECT_EQ(Run({"collect", "--config", Site(), "--once"}, env), 86);
  std::string err;
  ASSERT_EQ(Run({"collect", "--config", Site(), "--once"}, {}, &err), 0) << err;
  ASSERT_EQ(Run({"collect", "--config", Site(), "--once"}), 0);
  EXPECT_EQ(Lines().size(), 60u) << err;
  EXPECT_EQ(Raws().size(), 60u);
}

INSTANTIATE_TEST_SUITE_P(Steps, CollectKilled,
                         ::testing::Values("downloaded", "spooled", "committed", "cleared"));

TEST_F(CollectE2e, SigkillWhileRunningLosesNothing) {
  auto sim = Sim("127.0.64.6", 500, 3);
  WriteSite({"127.0.64.6"}, "1s");
  {
    Cli running(ports.dir(), {"collect", "--config", Site()});
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    running.Signal(SIGKILL);
    running.Wait();
  }
  std::string err;
  ASSERT_EQ(Run({"collect", "--config", Site(), "--once"}, {}, &err), 0) << err;
  EXPECT_EQ(Lines().size(), 500u);
  EXPECT_EQ(Raws().size(), 500u);
}

// A terminal that offers every punch live and keeps it for the download,
// missing every second acknowledgement: each punch stored once, from the
// feed, and the terminal cleared after the download that places them.
TEST_F(CollectE2e, WatchedTerminalStoresEachPunchOnce) {
  const std::string ip = "127.0.64.8", ready = ports.dir() + "/ready-watch";
  SimProcess sim({"--tcp", ip, "--records", "6", "--seed", "9", "--realtime-records", "6",
                  "--realtime-seed", "9", "--drop-ack-every", "2", "--ready", ready},
                 ready);
  WriteSite({ip}, "1h", "poll = \"200ms\"\n");
  {
    std::string text = Cli::Read(Site());
    text.replace(text.find("every = \"1h\""), 12, "every = \"1h\"\nmode = \"both\"");
    std::ofstream(Site()) << text;
  }
  Cli running(ports.dir(), {"collect", "--config", Site()});
  for (int i = 0; i < 200 && running.Err().find("download:") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  running.Signal(SIGTERM);
  EXPECT_EQ(running.Wait(), 0);
  EXPECT_NE(running.Err().find("download: 6 records, 0 stored, 6 duplicates, cleared"),
            std::string::npos)
      << running.Err();
  ASSERT_EQ(Run({"collect", "--config", Site(), "--once"}), 0);
  const auto lines = Lines();
  EXPECT_EQ(lines.size(), 6u);
  EXPECT_EQ(Raws().size(), 6u);
  for (const std::string& l : lines) EXPECT_NE(l.find("\"source\":\"live\""), std::string::npos);
}

TEST_F(CollectE2e, HangUpWithABadFileKeepsRunningAndTermStopsCleanly) {
  auto sim = Sim("127.0.64.7", 10);
  WriteSite({"127.0.64.7"}, "20s");
  Cli running(ports.dir(), {"collect", "--config", Site()});
  // The first download comes within its jitter; wait for its line.
  for (int i = 0; i < 400 && running.Err().find("download:") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  // Another collector for the same site and store is refused.
  EXPECT_EQ(Run({"collect", "--config", Site(), "--once"}), 3);
  std::ofstream(Site()) << "site = \"plant-e2e\"\n[[terminal]]\nip = \"nowhere\"\n";
  running.Signal(SIGHUP);
  for (int i = 0; i < 200 && running.Err().find("stays") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  EXPECT_TRUE(running.Running());
  EXPECT_NE(running.Err().find("the running configuration stays"), std::string::npos)
      << running.Err();
  running.Signal(SIGTERM);
  EXPECT_EQ(running.Wait(), 0);
  EXPECT_NE(running.Err().find(" - stopped"), std::string::npos);
}

}  // namespace
}  // namespace collect
