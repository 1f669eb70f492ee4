// Each family of pclog subcommands registers itself on the app. A command's
// callback ends the program through Finish(), with the export's result as the
// exit code where that is a status.
#pragma once
#include <CLI/CLI.hpp>

#include "platform/env.h"

namespace pclog {

// Ends the command with `code` as the process exit status.
[[noreturn]] inline void Finish(int code) { throw CLI::RuntimeError(code); }

void AddSerialBasics(CLI::App& app, wpl::Env& env);
void AddNetworkBasics(CLI::App& app, wpl::Env& env);
void AddDownloads(CLI::App& app, wpl::Env& env);
void AddConversions(CLI::App& app, wpl::Env& env);

}  // namespace pclog
