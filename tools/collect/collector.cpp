#include "collector.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <random>

#include "conversation.h"
#include "failpoints.h"
#include "log.h"

namespace collect {
namespace {

using std::chrono::seconds;
using std::chrono::steady_clock;

int64_t DayNumber(const Day& d) { return d.year * 10000 + d.month * 100 + d.day; }

void MakeFolder(const std::string& path) {
  std::string at;
  for (size_t i = 0; i < path.size(); ++i) {
    at += path[i];
    if (path[i] == '/' || i + 1 == path.size()) ::mkdir(at.c_str(), 0755);
  }
}

std::string Counted(const CommitResult& r) {
  return std::to_string(r.stored) + " stored, " + std::to_string(r.duplicates) + " duplicates" +
         (r.newGeneration ? ", terminal was cleared since" : "");
}

}  // namespace

// A conversation that ends in an exception the collector did not expect
// (the store's, the library's) fails that conversation, not the collector.
template <class F>
auto Collector::Guarded(size_t index, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const std::exception& e) {
    Log(config_.terminals.at(index).id, std::string("conversation failed: ") + e.what());
    ++failed_;
    return decltype(f()){};
  }
}

seconds Backoff(int failures, seconds cap) {
  if (failures <= 0) return seconds{0};
  int64_t s = 10;
  for (int i = 1; i < failures && s < cap.count(); ++i) s *= 2;
  return seconds{std::min<int64_t>(s, cap.count())};
}

int64_t SecondsToNext(const TerminalConfig& t, int64_t nowUtc) {
  if (t.every.count() > 0) return t.every.count();
  if (t.at.empty()) return -1;
  const int64_t wall = LocalWallSeconds(nowUtc, t.zone);
  const int64_t ofDay = ((wall % 86400) + 86400) % 86400;
  for (int m : t.at)
    if (m * 60 > ofDay) return m * 60 - ofDay;
  return 86400 - ofDay + t.at.front() * 60;
}

Collector::Collector(SiteConfig config, Store& store, const wpl::Env& base)
    : config_(std::move(config)), store_(store), base_(base), spool_(config_.spool) {
  started_ = NowUtc();
  for (int p = 1; p <= 9; ++p) ports_[p];
  Apply(config_);
}

Collector::~Collector() { StopThreads(); }

void Collector::Apply(SiteConfig config) {
  std::lock_guard lock(statusMutex_);
  config_ = std::move(config);
  std::map<std::string, std::unique_ptr<TerminalState>> next;
  for (const TerminalConfig& t : config_.terminals) {
    auto it = states_.find(t.id);
    auto s = it != states_.end() ? std::move(it->second) : std::make_unique<TerminalState>();
    s->status.id = t.id;
    s->status.link = LinkText(t);
    s->status.mode = ModeText(t.mode);
    next[t.id] = std::move(s);
  }
  states_ = std::move(next);
  downloads_ = std::make_unique<std::counting_semaphore<256>>(config_.parallel);
}

Conversation::Conversation(const wpl::Env& base, const TerminalConfig& t,
                           const std::string& dataDir)
    : ui_(t.id), port_(*base.serial, t.port), env(base) {
  env.ui = &ui_;
  env.serial = &port_;
  env.dataDir = dataDir;
  MakeFolder(env.dataDir);
}

std::unique_ptr<wpl::SerialPort> Conversation::OnePort::Open(int number) {
  return number == only_ ? ports_.Open(number) : nullptr;
}

std::unique_ptr<Conversation> Collector::Converse(const TerminalConfig& t) {
  return std::make_unique<Conversation>(base_, t,
                                        config_.spool + "/.work/" + FileNameOf(t.id) + "/");
}

std::unique_lock<std::mutex> Collector::PortLock(const TerminalConfig& t) {
  // Network terminals share no line; a serial bus (or a modem) is one
  // conversation at a time.
  if (t.link == LinkKind::kNetwork) return {};
  return std::unique_lock(ports_[t.port]);
}

void Collector::Contact(TerminalState& s, bool ok, const std::string& error, bool answered) {
  std::lock_guard lock(statusMutex_);
  const int64_t now = NowUtc();
  if (answered) s.status.lastContactUtc = now;
  s.status.up = ok;
  if (ok) {
    s.status.lastSuccessUtc = now;
    s.status.failuresInRow = 0;
    s.status.lastError.clear();
  } else {
    ++s.status.failuresInRow;
    s.status.lastError = error;
  }
}

void Collector::CountStored(TerminalState& s, const CommitResult& r) {
  stored_ += static_cast<uint64_t>(r.stored);
  duplicates_ += static_cast<uint64_t>(r.duplicates);
  std::lock_guard lock(statusMutex_);
  const int64_t today = DayNumber(LocalDay(NowUtc(), ""));
  if (s.todayDay != today) {
    s.todayDay = today;
    s.status.recordsToday = 0;
  }
  s.status.recordsToday += r.stored;
}

// Commits the batch; a batch the store refuses goes to the spool. The spool
// is not needed before the commit: until the clear, which waits for the
// commit, the terminal itself holds every record of the batch. The key is
// given first, so that a commit whose answer was lost and its replay from
// the spool are known as one batch.
bool Collector::CommitBatch(TerminalState& s, Batch& b, std::string& error, CommitResult& r) {
  if (b.key.empty()) b.key = spool_.NewKey(b.terminal);
  try {
    if (Failpoints::Fails("store-commit")) throw StoreError("the store refused the commit");
    r = store_.Commit(b);
  } catch (const StoreError& e) {
    error = std::string("store: ") + e.what();
    std::string spoolError;
    if (spool_.Write(b, spoolError).empty())
      error += "; " + spoolError + "; the terminal keeps its records";
    else
      error += "; the batch waits in the spool";
    Failpoints::Step("spooled", b.terminal);
    return false;
  }
  Failpoints::Step("committed", b.terminal);
  CountStored(s, r);
  return true;
}

bool Collector::ReplayTerminal(const TerminalConfig& t, TerminalState& s, std::string& error) {
  for (Spool::Entry& e : spool_.Pending(t.id)) {
    CommitResult r;
    try {
      r = store_.Commit(e.batch);
    } catch (const StoreError& ex) {
      error = std::string("store: ") + ex.what() + "; the spool keeps its batches";
      return false;
    }
    CountStored(s, r);
    Log(t.id, "spooled batch committed: " + std::to_string(e.batch.records.size()) + " records, " +
                  Counted(r));
    Failpoints::Step("replayed", t.id);
    spool_.Remove(e.path);
  }
  return true;
}

bool Collector::ReplaySpool() {
  bool all = true;
  for (const TerminalConfig& t : config_.terminals) {
    TerminalState& s = *states_.at(t.id);
    std::lock_guard lock(s.conversation);
    std::string error;
    if (!ReplayTerminal(t, s, error)) {
      Log(t.id, error);
      all = false;
    }
  }
  return all;
}

StepReport Collector::CollectTerminal(size_t index) {
  const TerminalConfig t = config_.terminals.at(index);
  TerminalState& s = *states_.at(t.id);
  std::lock_guard busy(s.conversation);
  StepReport rep;
  auto fail = [&](std::string error, bool answered) {
    rep.error = std::move(error);
    ++failed_;
    Contact(s, false, rep.error, answered);
    Log(t.id, "download failed: " + rep.error);
    return rep;
  };
  // Batches of earlier conversations first: the terminal's list continues
  // them, so they go into the store before anything newer.
  if (std::string error; !ReplayTerminal(t, s, error)) return fail(error, false);
  const auto conversation = Converse(t);
  wpl::Env& env = conversation->env;
  Downloaded d;
  auto started = steady_clock::now();
  auto since = [&] { return std::chrono::duration<double>(steady_clock::now() - started).count(); };
  {
    const auto line = PortLock(t);
    started = steady_clock::now();
    d = DownloadRecords(env, t);
    rep.downloadSeconds = since();
  }
  rep.protocolSeconds = d.protocolSeconds;
  if (!d.complete) return fail(d.error, false);
  Failpoints::Step("downloaded", t.id);
  rep.downloaded = d.records.size();
  const int64_t now = NowUtc();
  Batch b{t.id, Source::kDownload, "", now, LocalDay(now, t.zone), d.records};
  std::string error;
  started = steady_clock::now();
  const bool committed = CommitBatch(s, b, error, rep.commit);
  rep.commitSeconds = since();
  if (!committed) return fail(error, true);
  // Only now, with these records committed, may the terminal forget them.
  std::string clearNote;
  if (t.clear && t.link != LinkKind::kModem && !d.records.empty()) {
    const auto line = PortLock(t);
    std::string clearError;
    started = steady_clock::now();
    rep.cleared = ClearTerminal(env, t, d.port, clearError);
    rep.clearSeconds = since();
    clearNote = rep.cleared ? ", cleared" : ", not cleared: " + clearError;
    Failpoints::Step("cleared", t.id);
  }
  rep.ok = true;
  Contact(s, true, "", true);
  Log(t.id, "download: " + std::to_string(d.records.size()) + " records, " + Counted(rep.commit) +
                clearNote);
  return rep;
}

bool Collector::PollLive(size_t index) {
  const TerminalConfig t = config_.terminals.at(index);
  TerminalState& s = *states_.at(t.id);
  bool refill = false;
  {
    std::lock_guard busy(s.conversation);
    // Earlier batches first, in order; while the store refuses them the
    // terminal keeps its live records queued (it lets go of one only when
    // it is acknowledged).
    if (std::string error; !ReplayTerminal(t, s, error)) {
      Contact(s, false, error, false);
      return false;
    }
    const auto conversation = Converse(t);
    wpl::Env& env = conversation->env;
    // A terminal that keeps sending is left after a round's worth, so that
    // its schedule and the stop are heard.
    for (int n = 0; n < 1000; ++n) {
      Live live;
      {
        const auto line = PortLock(t);
        live = FetchLive(env, t);
      }
      if (live.outcome == LiveOutcome::kFailed) {
        if (!s.feedInterrupted) Log(t.id, "live feed interrupted");
        s.feedInterrupted = true;
        Contact(s, false, "no answer to the live fetch", false);
        return false;
      }
      if (s.feedInterrupted) {
        s.feedInterrupted = false;
        refill = true;
        Log(t.id, "live feed back");
      }
      if (live.outcome == LiveOutcome::kNone) break;
      const int64_t now = NowUtc();
      Batch b{t.id, Source::kLive, "", now, LocalDay(now, t.zone), {live.record}};
      CommitResult r;
      std::string error;
      if (!CommitBatch(s, b, error, r)) {
        Log(t.id, "live record not committed: " + error);
        Contact(s, false, error, true);
        return false;
      }
      const RecordFields f = DecodeFields(live.record, b.day);
      if (f.time) {
        // The record was made moments ago by the terminal's clock: the
        // difference to the host's local time is the clock's offset (less
        // the time the record waited).
        std::tm tm{};
        strptime(f.time->c_str(), "%Y-%m-%dT%H:%M:%S", &tm);
        std::lock_guard lock(statusMutex_);
        s.status.clockOffsetSeconds =
            static_cast<int64_t>(timegm(&tm)) - LocalWallSeconds(now, t.zone);
      }
      Log(t.id, "live: " + RawHex(live.record) + (r.stored ? " stored" : " duplicate"));
    }
    if (t.mode == Mode::kWatch) {
      Contact(s, true, "", true);  // a watched terminal's success is a good poll
    } else {
      // In "both" mode success is the download's: a feed that works does
      // not hide downloads that fail.
      std::lock_guard lock(statusMutex_);
      s.status.lastContactUtc = NowUtc();
    }
  }
  if (refill) {
    Log(t.id, "filling the gap with a download");
    return CollectTerminal(index).ok;
  }
  return true;
}

int Collector::RunOnce(const std::atomic<bool>* stop) {
  ReplaySpool();
  // The slow lines first (serial and modem downloads take seconds where a
  // network one takes a fraction), so that they do not trail at the end.
  std::vector<size_t> order(config_.terminals.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_partition(order.begin(), order.end(),
                        [&](size_t i) { return config_.terminals[i].link != LinkKind::kNetwork; });
  std::atomic<size_t> next{0};
  std::atomic<size_t> failed{0};
  reports_.assign(config_.terminals.size(), {});
  auto worker = [&] {
    for (size_t n; (n = next++) < order.size();) {
      const size_t i = order[n];
      if (stop && *stop) {
        ++failed;
        continue;
      }
      reports_[i] = Guarded(i, [&] { return CollectTerminal(i); });
      if (!reports_[i].ok) ++failed;
    }
  };
  std::vector<std::thread> pool;
  const size_t n =
      std::min<size_t>(static_cast<size_t>(config_.parallel), config_.terminals.size());
  for (size_t i = 1; i < n; ++i) pool.emplace_back(worker);
  worker();
  for (auto& th : pool) th.join();
  Log("", "collected " + std::to_string(config_.terminals.size() - failed) + " of " +
              std::to_string(config_.terminals.size()) + " terminals");
  return failed == 0 ? 0 : 1;
}

void Collector::RunTerminal(size_t index, const std::atomic<bool>& stop) {
  const TerminalConfig t = config_.terminals.at(index);
  TerminalState& s = *states_.at(t.id);
  std::mt19937_64 random(std::hash<std::string>{}(t.id) ^ static_cast<uint64_t>(NowUtc()));
  auto jitter = [&](int64_t span) {
    const int64_t cap = std::max<int64_t>(0, std::min<int64_t>(span / 10, 30));
    return std::chrono::milliseconds(std::uniform_int_distribution<int64_t>(0, cap * 1000)(random));
  };
  auto now = steady_clock::now();
  // A watched terminal is downloaded at once: what came while nobody
  // listened. A scheduled one starts within a few seconds, spread so that
  // a site's terminals do not all call at the same instant; an "at"
  // terminal waits for its next time.
  auto due = now + (t.watches() ? std::chrono::milliseconds(0)
                                : std::min<std::chrono::milliseconds>(
                                      jitter(std::max<int64_t>(SecondsToNext(t, NowUtc()), 10)),
                                      seconds(5)));
  if (!t.at.empty() && !t.watches()) due = now + seconds(SecondsToNext(t, NowUtc())) + jitter(300);
  bool downloadDue = t.scheduled() || t.watches();
  auto nextPoll = now;
  bool reportedOverdue = false;
  auto stopping = [&] { return stop.load() || threadsStop_.load(); };
  while (!stopping()) {
    now = steady_clock::now();
    if (t.watches() && now >= nextPoll) {
      Guarded(index, [&] { return PollLive(index); });
      nextPoll = steady_clock::now() + config_.poll;
    }
    if (downloadDue && now >= due) {
      // A place among the downloads that run side by side.
      while (!stopping() && !downloads_->try_acquire_for(std::chrono::milliseconds(100))) {
      }
      if (stopping()) break;
      const StepReport r = Guarded(index, [&] { return CollectTerminal(index); });
      downloads_->release();
      int failures;
      {
        std::lock_guard lock(statusMutex_);
        failures = s.status.failuresInRow;
      }
      const int64_t regular = SecondsToNext(t, NowUtc());
      if (!r.ok) {
        due = steady_clock::now() + Backoff(failures, config_.retryMax) + jitter(10);
      } else if (regular > 0) {
        due = steady_clock::now() + seconds(regular) + jitter(regular);
      } else {
        downloadDue = false;  // watched only: the next download fills the next gap
      }
    }
    // A terminal silent for longer than its schedule allows is told once.
    const TerminalStatus st = [&] {
      std::lock_guard lock(statusMutex_);
      return s.status;
    }();
    const bool overdue = Overdue(t, st, NowUtc());
    if (overdue && !reportedOverdue)
      Log(t.id, "overdue: no success since " +
                    (st.lastSuccessUtc ? UtcText(*st.lastSuccessUtc) : std::string("the start")) +
                    (st.lastError.empty() ? "" : " (" + st.lastError + ")"));
    reportedOverdue = overdue;
    auto until = t.watches() ? std::min(nextPoll, downloadDue ? due : nextPoll)
                             : (downloadDue ? due : now + seconds(3600));
    while (!stopping() && steady_clock::now() < until)
      std::this_thread::sleep_for(std::min<steady_clock::duration>(until - steady_clock::now(),
                                                                   std::chrono::milliseconds(50)));
  }
}

void Collector::StartThreads(const std::atomic<bool>& stop) {
  threadsStop_ = false;
  for (size_t i = 0; i < config_.terminals.size(); ++i)
    threads_.emplace_back([this, i, &stop] { RunTerminal(i, stop); });
}

void Collector::StopThreads() {
  threadsStop_ = true;
  for (auto& th : threads_) th.join();
  threads_.clear();
}

void Collector::Run(const std::atomic<bool>& stop, std::atomic<bool>& reload) {
  ReplaySpool();
  StartThreads(stop);
  Log("", "collecting site " + config_.site + ": " + std::to_string(config_.terminals.size()) +
              " terminals into " + store_.Describe());
  while (!stop) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!reload.exchange(false)) continue;
    LoadedConfig next = LoadConfig(config_.file);
    if (!next.ok()) {
      for (const ConfigProblem& p : next.problems)
        Log("", "config " + config_.file + ":" + std::to_string(p.line) + ": " + p.text);
      Log("", "the file has mistakes; the running configuration stays");
      continue;
    }
    if (next.config.store != config_.store || next.config.site != config_.site)
      Log("", "a new store or site takes effect at the next start");
    next.config.store = config_.store;
    next.config.site = config_.site;
    next.config.spool = config_.spool;
    StopThreads();  // conversations in progress finish first
    Apply(std::move(next.config));
    StartThreads(stop);
    Log("", "configuration read again: " + std::to_string(config_.terminals.size()) + " terminals");
  }
  StopThreads();
  Log("", "stopped");
}

bool Collector::Overdue(const TerminalConfig& t, const TerminalStatus& s, int64_t now) const {
  int64_t allowance;
  if (t.every.count() > 0) {
    allowance = 2 * t.every.count() + 60;
  } else if (!t.at.empty()) {
    int gap = 1440 - t.at.back() + t.at.front();
    for (size_t i = 1; i < t.at.size(); ++i) gap = std::max(gap, t.at[i] - t.at[i - 1]);
    allowance = int64_t{gap} * 60 + 3600;
  } else {
    allowance = 10 * std::chrono::duration_cast<seconds>(config_.poll).count() + 60;
  }
  const int64_t since = s.lastSuccessUtc.value_or(started_);
  return now - since > allowance;
}

std::string Collector::Site() { return config_.site; }

std::vector<TerminalStatus> Collector::Terminals() {
  std::lock_guard lock(statusMutex_);
  std::vector<TerminalStatus> out;
  const int64_t now = NowUtc();
  const int64_t today = DayNumber(LocalDay(now, ""));
  for (const TerminalConfig& t : config_.terminals) {
    TerminalState& s = *states_.at(t.id);
    if (s.todayDay != today) s.status.recordsToday = 0;
    TerminalStatus st = s.status;
    st.overdue = Overdue(t, st, now);
    out.push_back(std::move(st));
  }
  return out;
}

CollectorCounters Collector::Counters() { return {stored_, duplicates_, failed_}; }

std::vector<RecordRow> Collector::RecordsAfter(int64_t afterId, int limit) {
  RecordFilter f;
  f.afterId = afterId;
  f.limit = limit;
  return store_.Records(f);
}

}  // namespace collect
