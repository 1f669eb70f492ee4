// The simulator's modem, from the command line.
#pragma once
#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "modem.h"

namespace wpl::sim {

struct ModemOptions {
  bool enabled = false;
  std::vector<std::string> dial;  // NUMBER[,RESULT]
  bool echo = false;
  uint32_t connectSpeed = 14400;
  int dialTimeMs = 200;
  uint32_t baud = 9600;
};

void AddModemOptions(CLI::App& app, ModemOptions& options);
// The modem with its directory; `newTerminal` makes the terminal behind each
// number that connects.
ModemModel MakeModem(const ModemOptions& options,
                     const std::function<TerminalModel*()>& newTerminal);

}  // namespace wpl::sim
