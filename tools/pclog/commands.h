// Each family of pclog subcommands registers itself on the app. A command's
// callback ends the program through Finish(), with the export's result as the
// exit code where that is a status.
#pragma once
#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "global_options.h"
#include "link/lan_connection.h"
#include "link/serial_command.h"
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

// A command's terminal: --address/--port (serial) or --ip (network), from
// one option group.
struct Target {
  int address = 1;
  int port = 1;
  std::string ip;
  CLI::Option* ipOption = nullptr;
  bool network() const { return ipOption && ipOption->count() > 0; }
};
std::shared_ptr<Target> AddTarget(CLI::App* sub);
// Refuses (CLI::ValidationError) an IP text that is not an address, before
// anything is sent.
void CheckIp(const Target& t);
// One line on how a serial or a network command went.
void Report(const char* what, wpl::link::SerialResult r, const Target& t);
void Report(const char* what, wpl::link::LanResult r, const Target& t);

void AddSerialBasics(CLI::App& app, wpl::Env& env);
void AddNetworkBasics(CLI::App& app, wpl::Env& env);
void AddDownloads(CLI::App& app, wpl::Env& env);
void AddLanDownload(CLI::App& app, wpl::Env& env);
void AddConversions(CLI::App& app, wpl::Env& env);
void AddSettings(CLI::App& app, wpl::Env& env);
void AddCards(CLI::App& app, wpl::Env& env);
void AddWatch(CLI::App& app);
void AddPersonnel(CLI::App& app, wpl::Env& env);
void AddFingerprint(CLI::App& app, wpl::Env& env);
void AddBackup(CLI::App& app, wpl::Env& env);

}  // namespace pclog
