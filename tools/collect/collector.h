// The collector: every terminal of a site on its schedule, its records into
// the store, never twice and never lost.
//
// A download goes: spool replay, download, commit, clear. The terminal is
// cleared only after the commit of those very records; a batch the store
// refuses goes to the spool, and the terminal keeps its records. Each conversation has an Env of
// its own (the process's services, a Ui that logs, a data folder per terminal); one conversation
// per terminal and one per serial port run at a time, downloads side by side
// up to the site's limit.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>

#include "config.h"
#include "conversation.h"
#include "platform/env.h"
#include "spool.h"
#include "status.h"
#include "store.h"

namespace collect {

struct StepReport {
  bool ok = false;
  std::string error;
  size_t downloaded = 0;
  CommitResult commit;
  bool cleared = false;
  double protocolSeconds = 0;  // the transfer, from the header to the end packet
  // The conversation's parts on the wall clock: the download call and the
  // clear (the protocol's own time, pauses included), and the commit.
  double downloadSeconds = 0, clearSeconds = 0, commitSeconds = 0;
};

// The Env of one conversation: the process's services, a Ui that logs, the
// terminal's own data folder, and serial ports narrowed to the terminal's
// own. The library's scan moves to the next ports when a terminal does not
// answer; on a site those are other buses, whose terminals must not be
// downloaded (or cleared) under this terminal's name.
class Conversation {
 public:
  Conversation(const wpl::Env& base, const TerminalConfig& t, const std::string& dataDir);
  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

 private:
  class OnePort : public wpl::SerialPorts {
   public:
    OnePort(wpl::SerialPorts& ports, int only) : ports_(ports), only_(only) {}
    std::unique_ptr<wpl::SerialPort> Open(int number) override;

   private:
    wpl::SerialPorts& ports_;
    int only_;
  };
  QuietUi ui_;
  OnePort port_;

 public:
  wpl::Env env;
};

class Collector : public StatusSource {
 public:
  // `base` gives the platform services (ProcessEnv() in the tool); the
  // store must outlive the collector.
  Collector(SiteConfig config, Store& store, const wpl::Env& base);
  ~Collector() override;

  // Commits what the spool holds, for every terminal. False when the store
  // refused some of it (it stays there).
  bool ReplaySpool();
  // One download conversation with terminal `index` of the configuration.
  StepReport CollectTerminal(size_t index);
  // Fetches live records until the terminal has none; false when the feed
  // failed. After an interruption the first good poll runs a download that
  // fills the gap.
  bool PollLive(size_t index);
  // Every terminal once, side by side up to the limit: 0 when every one was
  // collected, 1 otherwise. After `stop` no further terminal is begun.
  int RunOnce(const std::atomic<bool>* stop = nullptr);
  // The reports of the last RunOnce, by terminal.
  const std::vector<StepReport>& lastReports() const { return reports_; }
  // Runs the schedules until `stop`; `reload` asks for the file to be read
  // again (a bad file keeps the running configuration).
  void Run(const std::atomic<bool>& stop, std::atomic<bool>& reload);

  std::string Site() override;
  std::vector<TerminalStatus> Terminals() override;
  CollectorCounters Counters() override;
  std::vector<RecordRow> RecordsAfter(int64_t afterId, int limit) override;

  const SiteConfig& config() const { return config_; }

 private:
  struct TerminalState {
    TerminalStatus status;
    std::mutex conversation;
    bool feedInterrupted = false;
    int64_t todayDay = 0;  // yyyymmdd of recordsToday
  };
  std::unique_ptr<Conversation> Converse(const TerminalConfig& t);
  std::unique_lock<std::mutex> PortLock(const TerminalConfig& t);
  bool CommitBatch(TerminalState& s, Batch& b, std::string& error, CommitResult& r);
  bool ReplayTerminal(const TerminalConfig& t, TerminalState& s, std::string& error);
  void Contact(TerminalState& s, bool ok, const std::string& error, bool answered);
  void CountStored(TerminalState& s, const CommitResult& r);
  void Apply(SiteConfig config);
  template <class F>
  auto Guarded(size_t index, F&& f) -> decltype(f());
  void RunTerminal(size_t index, const std::atomic<bool>& stop);
  void StopThreads();
  void StartThreads(const std::atomic<bool>& stop);
  bool Overdue(const TerminalConfig& t, const TerminalStatus& s, int64_t now) const;

  SiteConfig config_;
  Store& store_;
  wpl::Env base_;
  Spool spool_;
  int64_t started_ = 0;
  std::map<std::string, std::unique_ptr<TerminalState>> states_;
  std::map<int, std::mutex> ports_;
  std::unique_ptr<std::counting_semaphore<256>> downloads_;
  std::mutex statusMutex_;
  std::atomic<uint64_t> stored_{0}, duplicates_{0}, failed_{0};
  std::vector<std::thread> threads_;
  std::atomic<bool> threadsStop_{false};
  std::vector<StepReport> reports_;
};

// The pause before the next download after `failures` in a row: 10 s,
// doubling, at most `cap`.
std::chrono::seconds Backoff(int failures, std::chrono::seconds cap);
// Seconds from `nowUtc` to the next scheduled download of `t`, before jitter.
int64_t SecondsToNext(const TerminalConfig& t, int64_t nowUtc);

}  // namespace collect
