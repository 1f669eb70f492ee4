// The simulator's card table, its value and real-time reply faults, and the
// real-time records it queues, from the command line. Records can be queued
// while it runs, from a file or FIFO it watches or a generated stream, so
// that clockings arrive as a person watches.
#pragma once
#include <CLI/CLI.hpp>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "terminal_model.h"

namespace wpl::sim {

struct CardOptions {
  std::vector<std::string> cards;  // "SN=VALUE"
  uint16_t snLength = 8;
  std::string valueFault = "none";
  std::string realtimeFault = "none";
  int splitGapMs = 300;
  int realtimeLateMs = -1;
  int dropAckEvery = 0;
  uint32_t realtimeRecords = 0;
  uint32_t realtimeSeed = 1;
  std::string realtimeFeed;
  double realtimeRate = 0;
};

void AddCardOptions(CLI::App& app, CardOptions& options);
// Puts the reply faults into the terminal's configuration.
void ApplyCardOptions(const CardOptions& options, TerminalConfig& config);
// Fills the card table and queues the starting real-time records.
void LoadCards(const CardOptions& options, TerminalModel& model);

// A record from a line of 12 hex digits (spaces allowed): "01 02 95 4F 28 5E".
std::optional<Record> ParseRecordLine(const std::string& line);

// Queues real-time records while the simulator runs: each line appended to
// the feed (a file or a FIFO) and, at the given rate, generated records, to
// every terminal.
class RealtimeFeeder {
 public:
  RealtimeFeeder(const CardOptions& options, std::vector<TerminalModel*> terminals,
                 const std::atomic<bool>& stop);
  ~RealtimeFeeder();
  RealtimeFeeder(const RealtimeFeeder&) = delete;
  RealtimeFeeder& operator=(const RealtimeFeeder&) = delete;

 private:
  void Run();
  void Push(const Record& r);

  CardOptions options_;
  std::vector<TerminalModel*> terminals_;
  const std::atomic<bool>& stop_;
  std::atomic<bool> done_{false};  // the simulator is ending another way
  int feed_ = -1;
  std::thread thread_;
};

}  // namespace wpl::sim
