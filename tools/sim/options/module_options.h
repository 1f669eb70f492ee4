// The simulator's fingerprint module from the command line: a bare module on
// the line, its template store, its version and its faults.
#pragma once
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "terminal_model.h"

namespace wpl::sim {

struct ModuleOptions {
  bool bare = false;
  size_t templates = 0;
  uint32_t seed = 1;
  std::string folder;
  std::string saveFolder;
  int version = 0x21;
  std::vector<std::string> faults;
};

void AddModuleOptions(CLI::App& app, ModuleOptions& options);
// Puts the module's version and faults into the terminal's configuration.
void ApplyModuleOptions(const ModuleOptions& options, TerminalConfig& config);
// Fills the module's store: templates from the folder, then generated ones.
void LoadTemplates(const ModuleOptions& options, TerminalModel& model);
// Writes what the module holds when the simulator ends, if asked to.
void SaveTemplates(const ModuleOptions& options, const TerminalModel& model);

}  // namespace wpl::sim
