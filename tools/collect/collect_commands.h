// The collector's subcommands of pclog: collect and records.
#pragma once
#include <CLI/CLI.hpp>

namespace collect {

void AddCollectCommands(CLI::App& app);

}  // namespace collect
