// Each family of pclog subcommands registers itself on the app. A command's
// callback ends the program through Finish(), with the export's result as the
// exit code where that is a status.
#pragma once
#include <memory>

#include <CLI/CLI.hpp>

#include "global_options.h"
#include "platform/env.h"

namespace pclog {

// Ends the command with `code` as the process exit status.
[[noreturn]] inline void Finish(int code) { throw CLI::RuntimeError(code); }

// The terminal address and the port a serial scan starts from.
struct SerialTarget {
  int address = 1;
  int port = 1;
};

inline std::shared_ptr<SerialTarget> AddSerialTarget(CLI::App* sub) {
  auto target = std::make_shared<SerialTarget>();
  sub->add_option("--address", target->address, "Terminal address")->capture_default_str();
  sub->add_option("--port", target->port, "Port the scan starts from (1..6)")->capture_default_str();
  return target;
}

void AddSerialBasics(CLI::App& app, wpl::Env& env);
void AddNetworkBasics(CLI::App& app, wpl::Env& env);
void AddDownloads(CLI::App& app, wpl::Env& env);
void AddLanDownload(CLI::App& app, wpl::Env& env);
void AddConversions(CLI::App& app, wpl::Env& env);
void AddSettings(CLI::App& app, wpl::Env& env);

}  // namespace pclog
