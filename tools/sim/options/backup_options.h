// pclog-sim's options for the fingerprint module's backup link: the store it
// holds and the faults of its side of the transfer.
#pragma once
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "terminal_model.h"

namespace wpl::sim {

struct BackupOptions {
  size_t size = 4096;  // bytes of the generated store
  uint32_t seed = 1;
  std::string file;  // the store from this file instead
  size_t blockSize = 1024;
  int readyDelayMs = 0;
  bool backupMode = false;  // in backup mode from the start
  std::vector<std::string> faults;
};

void AddBackupOptions(CLI::App& app, BackupOptions& options);
// Throws std::runtime_error on an unknown fault or an unreadable file.
void ApplyBackupOptions(const BackupOptions& options, TerminalConfig& config);

}  // namespace wpl::sim
