// Each family of pclog subcommands registers itself on the app. A command's
// callback ends the program through Finish(), with the export's result as the
// exit code where that is a status.
#pragma once
#include <CLI/CLI.hpp>
#include <memory>
#include <string>

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
  sub->add_option("--port", target->port, "Port the scan starts from (1..6)")
      ->capture_default_str();
  return target;
}

// A terminal on a serial port (the scan starting at the port) or on the
// network.
struct Target {
  int address = 1;
  int port = 1;
  std::string ip;
  CLI::Option* ipOption = nullptr;
};

// --address/--port or --ip, in one group.
inline std::shared_ptr<Target> AddTarget(CLI::App* sub) {
  auto t = std::make_shared<Target>();
  auto* group =
      sub->add_option_group("target", "The terminal: on a serial port, or on the network");
  auto* address = group->add_option("--address", t->address, "Terminal address (serial)")
                      ->check(CLI::Range(0, 255))
                      ->capture_default_str();
  auto* port = group->add_option("--port", t->port, "Port the scan starts from (serial, 1..6)")
                   ->check(CLI::Range(1, 6))
                   ->capture_default_str();
  t->ipOption = group->add_option("--ip", t->ip, "The terminal's IPv4 address (TCP port 1024)");
  t->ipOption->excludes(address)->excludes(port);
  return t;
}

void AddSerialBasics(CLI::App& app, wpl::Env& env);
void AddNetworkBasics(CLI::App& app, wpl::Env& env);
void AddDownloads(CLI::App& app, wpl::Env& env);
void AddLanDownload(CLI::App& app, wpl::Env& env);
void AddConversions(CLI::App& app, wpl::Env& env);
void AddSettings(CLI::App& app, wpl::Env& env);
void AddCards(CLI::App& app, wpl::Env& env);
void AddWatch(CLI::App& app);

}  // namespace pclog
