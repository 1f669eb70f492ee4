// The settings family of pclog, generated from the library's table of
// settings: each command is a serial export and its network twin (either may
// be missing), with the value arguments and the range the terminal can take. The target is
// --address/--port (serial) or --ip (network), from one shared option group;
// a value out of range or an IP text that is not an address is refused
// before anything is sent.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "exports/results.h"
#include "settings/line_speed.h"
#include "settings/settings.h"

namespace pclog {
namespace {

using wpl::settings::kSettings;
using wpl::settings::Setting;

// One command for the serial export and the network twin that share its
// name; either may be missing.
struct SettingCommand {
  const Setting* first = nullptr;  // the one with the captions
  const Setting* serial = nullptr;
  const Setting* network = nullptr;
};

// The commands in the order their first setting stands in the table.
std::vector<SettingCommand> SettingCommands() {
  std::vector<SettingCommand> commands;
  std::vector<std::string_view> names;
  for (const Setting& s : kSettings) {
    size_t i = 0;
    while (i < names.size() && names[i] != s.cli) ++i;
    if (i == names.size()) {
      names.push_back(s.cli);
      commands.push_back({.first = &s});
    }
    (s.network() ? commands[i].network : commands[i].serial) = &s;
  }
  return commands;
}

void AddSettingCommand(CLI::App& app, wpl::Env& env, const SettingCommand& c) {
  const Setting* serial = c.serial;
  const Setting* network = c.network;
  const Setting& first = *c.first;
  const std::string cli(first.cli);
  auto* sub = app.add_subcommand(cli, std::string(first.about));
  auto target = AddTarget(sub);
  auto values = std::make_shared<std::vector<int64_t>>();
  if (first.values > 0) {
    const auto range = first.range;
    sub->add_option(range.max > 255 ? "NUMBER" : "VALUE", *values, std::string(first.valuesAbout))
        ->expected(first.values)
        ->required()
        ->check(CLI::Range(range.min, range.max));
  }
  sub->callback([&env, cli, serial, network, target, values] {
    const std::vector<int32_t> v(values->begin(), values->end());
    if (target->ipOption->count() > 0) {
      if (!network) throw CLI::ValidationError("--ip", cli + " has no network form");
      CheckIp(*target);
      const auto r = wpl::settings::RunLanSetting(env, *network, target->ip.c_str(), v);
      Field("ip", target->ip);
      Report(cli.c_str(), r, *target);
      Finish(wpl::exports::DoneOrFailed(r));
    }
    if (!serial) throw CLI::ValidationError("--ip", cli + " needs --ip");
    const auto r = wpl::settings::RunSerialSetting(env, *serial, target->address, target->port, v);
    Report(cli.c_str(), r, *target);
    Finish(wpl::exports::DoneOrFailed(r));
  });
}

void AddSetBaudRate(CLI::App& app, wpl::Env& env) {
  auto* sub = app.add_subcommand(
      "set-baud-rate",
      "Set the line speed: the request at 57600, 38400 ... 1200, on one port only");
  auto port = std::make_shared<int>(1);
  auto request = std::make_shared<std::vector<int64_t>>();
  sub->add_option("--port", *port, "The port (1..6); no other is tried")
      ->check(CLI::Range(1, 6))
      ->capture_default_str();
  sub->add_option("REQUEST", *request,
                  "The 13 request bytes as the terminal reads them (the last one is sent last)")
      ->expected(13)
      ->required()
      ->check(CLI::Range(0, 255));
  sub->callback([&env, port, request] {
    std::array<int32_t, 12> first{};
    std::copy(request->begin(), request->begin() + 12, first.begin());
    const auto r =
        wpl::settings::SetBaudRate(env, *port, static_cast<int32_t>(request->back()), first);
    Field("port", *port);
    Field("attempts", r.attempts);
    if (r.answered) Field("baud", r.baud);
    if (r.answered)
      std::printf("set-baud-rate: the terminal on port %d answered at %u baud (attempt %d)\n",
                  *port, r.baud, r.attempts);
    else if (r.attempts == 0)
      std::printf("set-baud-rate: port %d cannot be opened\n", *port);
    else
      std::printf("set-baud-rate: no answer on port %d at any of %d speeds\n", *port, r.attempts);
    Finish(wpl::exports::DoneOrFailed(r));
  });
}

}  // namespace

void AddSettings(CLI::App& app, wpl::Env& env) {
  for (const SettingCommand& c : SettingCommands()) AddSettingCommand(app, env, c);
  AddSetBaudRate(app, env);
}

}  // namespace pclog
