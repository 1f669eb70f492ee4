// The simulator's record store and block-download faults, from the command
// line.
#pragma once
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "terminal_model.h"

namespace wpl::sim {

struct RecordOptions {
  uint32_t count = 0;
  uint32_t seed = 1;
  std::string file;
  std::string saveFile;
  std::vector<std::string> packetFaults;
  std::string endFault = "none";
  int endFaultTimes = 0;  // 0: every sending
  double randomRate = 0;
  uint32_t faultSeed = 1;
  size_t payloadPerPacket = 168;
};

void AddRecordOptions(CLI::App& app, RecordOptions& options);
// Puts the faults and the packet size into the terminal's configuration.
void ApplyRecordOptions(const RecordOptions& options, TerminalConfig& config);
// Fills the terminal's store: from the record file, else generated records;
// then writes the store to the save file, if one is named.
void LoadRecords(const RecordOptions& options, TerminalModel& model);

}  // namespace wpl::sim
