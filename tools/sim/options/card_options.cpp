#include "card_options.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

#include "download_server.h"

namespace wpl::sim {
namespace {

const std::map<std::string, ReplyFault> kReplyFaults = {{"none", ReplyFault::kNone},
                                                        {"bad-checksum", ReplyFault::kBadChecksum},
                                                        {"wrong-block", ReplyFault::kWrongBlock},
                                                        {"wrong-length", ReplyFault::kWrongLength},
                                                        {"split", ReplyFault::kSplit},
                                                        {"silent", ReplyFault::kSilent}};

constexpr uint8_t kRealtimeCommand = 0x17;
constexpr auto kFeedPoll = std::chrono::milliseconds(50);

}  // namespace

void AddCardOptions(CLI::App& app, CardOptions& o) {
  app.add_option("--card", o.cards, "SN=VALUE: the value the SN query gives for an SN number");
  app.add_option("--sn-length", o.snLength, "The SN length the length query gives");
  app.add_option("--value-fault", o.valueFault,
                 "The SN queries' value reply: none, bad-checksum, wrong-block, wrong-length, "
                 "split, silent")
      ->check(CLI::IsMember(
          {"none", "bad-checksum", "wrong-block", "wrong-length", "split", "silent"}));
  app.add_option("--realtime-fault", o.realtimeFault,
                 "The real-time reply: none, bad-checksum, split, silent")
      ->check(CLI::IsMember({"none", "bad-checksum", "split", "silent"}));
  app.add_option("--split-gap-ms", o.splitGapMs, "The gap inside a split reply");
  app.add_option("--realtime-late-ms", o.realtimeLateMs,
                 "Acknowledge the real-time command only after this many ms");
  app.add_option("--drop-ack-every", o.dropAckEvery,
                 "Miss every Nth acknowledgement of a real-time record (it is sent again)");
  app.add_option("--realtime-records", o.realtimeRecords,
                 "Real-time records queued at the start (generated)");
  app.add_option("--realtime-seed", o.realtimeSeed, "Seed of the generated real-time records");
  app.add_option("--realtime-feed", o.realtimeFeed,
                 "A file or FIFO watched while running: each line appended, 12 hex digits, "
                 "queues a real-time record on every terminal");
  app.add_option("--realtime-rate", o.realtimeRate,
                 "Generated real-time records per second queued while running");
}

void ApplyCardOptions(const CardOptions& o, TerminalConfig& config) {
  config.replyFaults.value = kReplyFaults.at(o.valueFault);
  config.replyFaults.realtime = kReplyFaults.at(o.realtimeFault);
  config.replyFaults.splitGap = std::chrono::milliseconds(o.splitGapMs);
  config.replyFaults.dropAckEvery = o.dropAckEvery;
  if (o.realtimeLateMs >= 0)
    config.commandFaults[kRealtimeCommand].frame =
        Answer{AckFault::kLate, std::chrono::milliseconds(o.realtimeLateMs)};
}

void LoadCards(const CardOptions& o, TerminalModel& model) {
  CardTable& cards = model.cards();
  for (const std::string& text : o.cards) {
    const auto eq = text.find('=');
    if (eq == std::string::npos) throw std::runtime_error("--card wants SN=VALUE: " + text);
    cards.sn[static_cast<uint16_t>(std::stoul(text.substr(0, eq), nullptr, 0))] =
        static_cast<uint16_t>(std::stoul(text.substr(eq + 1), nullptr, 0));
  }
  cards.snLength = o.snLength;
  cards.realtime.Push(GenerateRecords(o.realtimeRecords, o.realtimeSeed));
}

std::optional<Record> ParseRecordLine(const std::string& line) {
  std::string hex;
  for (char c : line)
    if (!std::isspace(static_cast<unsigned char>(c))) hex += c;
  if (hex.size() != 12) return std::nullopt;
  Record r{};
  for (size_t i = 0; i < r.size(); ++i) {
    const std::string pair = hex.substr(2 * i, 2);
    if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
        !std::isxdigit(static_cast<unsigned char>(pair[1])))
      return std::nullopt;
    r[i] = static_cast<uint8_t>(std::stoul(pair, nullptr, 16));
  }
  return r;
}

RealtimeFeeder::RealtimeFeeder(const CardOptions& options, std::vector<TerminalModel*> terminals,
                               const std::atomic<bool>& stop)
    : options_(options), terminals_(std::move(terminals)), stop_(stop) {
  if (options_.realtimeFeed.empty() && options_.realtimeRate <= 0) return;
  if (!options_.realtimeFeed.empty()) {
    // Non-blocking: a FIFO without a writer opens at once and reads as empty.
    // A feed that does not exist yet is made, empty, for the lines to come.
    feed_ =
        ::open(options_.realtimeFeed.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (feed_ < 0)
      throw std::runtime_error("cannot read " + options_.realtimeFeed + ": " +
                               std::strerror(errno));
    // A file that exists already feeds only what is appended from now on.
    ::lseek(feed_, 0, SEEK_END);
  }
  thread_ = std::thread([this] { Run(); });
}

RealtimeFeeder::~RealtimeFeeder() {
  done_ = true;
  if (thread_.joinable()) thread_.join();
  if (feed_ >= 0) ::close(feed_);
}

void RealtimeFeeder::Push(const Record& r) {
  for (TerminalModel* t : terminals_) t->cards().realtime.Push(r);
}

void RealtimeFeeder::Run() {
  using Clock = std::chrono::steady_clock;
  std::string pending;
  uint32_t generated = 0;
  const auto start = Clock::now();
  while (!stop_.load() && !done_.load()) {
    if (feed_ >= 0) {
      char buf[4096];
      ssize_t n;
      while ((n = ::read(feed_, buf, sizeof buf)) > 0) pending.append(buf, static_cast<size_t>(n));
      for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
        const std::string line = pending.substr(0, nl);
        if (line.empty() || line[0] == '#') continue;
        if (auto r = ParseRecordLine(line))
          Push(*r);
        else
          std::fprintf(stderr, "pclog-sim: not a record (12 hex digits): %s\n", line.c_str());
      }
    }
    if (options_.realtimeRate > 0) {
      // As many records as the rate asks for by now, each from its own seed.
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      const auto due = static_cast<uint32_t>(seconds * options_.realtimeRate);
      for (; generated < due; ++generated) {
        const auto bytes = GenerateRecords(1, options_.realtimeSeed + 1 + generated);
        Record r;
        std::copy(bytes.begin(), bytes.end(), r.begin());
        Push(r);
      }
    }
    std::this_thread::sleep_for(kFeedPoll);
  }
}

}  // namespace wpl::sim
