// The simulator's user table and per-command faults, from the command line.
#pragma once
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "terminal_model.h"

namespace wpl::sim {

struct SettingsOptions {
  std::string users = "1-1000";
  std::vector<std::string> commandFaults;
};

void AddSettingsOptions(CLI::App& app, SettingsOptions& options);
// Puts the user table and the command faults into the configuration. Throws
// std::runtime_error for text it cannot read.
void ApplySettingsOptions(const SettingsOptions& options, TerminalConfig& config);

// "1-100,300": inclusive ranges of person numbers.
std::vector<std::pair<uint16_t, uint16_t>> ParseUsers(const std::string& text);
// "CMD:WHERE:KIND[=MS]": CMD a command byte (0x0a or 10), WHERE frame, block
// or second, KIND ack, silent, nak, late=MS or wrong-speed.
void ParseCommandFault(const std::string& text, std::map<uint8_t, CommandFaults>& into);

}  // namespace wpl::sim
