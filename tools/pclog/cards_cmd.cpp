// The card-number family of pclog: the settings as rows of (command, serial
// export, network export, value kind), the two SN queries, and one real-time
// fetch. The target is --address/--port (serial) or --ip (network).
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "download/realtime.h"
#include "link/ipv4_text.h"
#include "link/value_reply.h"
#include "settings/cards.h"

namespace pclog {
namespace {

using wpl::settings::Setting;

struct CardCommand {
  const char* cli;
  const char* help;
  const char* serial;   // export name, or nullptr
  const char* network;  // export name, or nullptr
  int64_t max = 0;      // each value argument: 0..max
  const char* valueHelp = "";
};

constexpr int64_t kByte = 255, kNumber = 65535;

const CardCommand kCommands[] = {
    {"set-sn", "File an SN number with a second number", "_SETSN", "_LANSETSN", kNumber,
     "The SN number and the number filed with it"},
    {"del-sn", "Delete an SN number", "_DELSN", "_LANDELSN", kNumber, "The SN number"},
    {"set-sn-or-card", "Choose between SN and card", "_SETSNORCARD", nullptr, kByte,
     "The mode byte"},
    {"set-card-wait-time", "Set the card wait time", "_SETCARDWAITTIME", nullptr, kByte,
     "The wait byte"},
    {"set-lock-number", "Set the lock number", "_SETLOCKNUM", nullptr, kNumber, "The lock number"},
    {"del-lock-number", "Clear the lock number", "_DELLOCKNUM", nullptr},
    // The queries print the value the terminal gives.
    {"what-sn", "Ask for the number filed with an SN number", "_WHATSN", nullptr, kNumber,
     "The SN number"},
    {"sn-length", "Ask for the terminal's SN length", "_GETSNLENTH", nullptr},
};

struct Target {
  int address = 1;
  int port = 1;
  std::string ip;
  CLI::Option* ipOption = nullptr;
};

std::shared_ptr<Target> AddTarget(CLI::App* sub) {
  auto t = std::make_shared<Target>();
  auto* address = sub->add_option("--address", t->address, "Terminal address (serial)")
                      ->check(CLI::Range(0, 255))
                      ->capture_default_str();
  auto* port = sub->add_option("--port", t->port, "Port the scan starts from (serial, 1..6)")
                   ->check(CLI::Range(1, 6))
                   ->capture_default_str();
  t->ipOption = sub->add_option("--ip", t->ip, "The terminal's IPv4 address (TCP port 1024)");
  t->ipOption->excludes(address)->excludes(port);
  return t;
}

const Setting* Find(const char* name) {
  if (!name) return nullptr;
  if (const Setting* s = wpl::settings::FindSetting(name)) return s;
  return wpl::settings::FindValueQuery(name);
}

void AddCardCommand(CLI::App& app, wpl::Env& env, const CardCommand& c) {
  const Setting* serial = Find(c.serial);
  const Setting* network = Find(c.network);
  const bool query = wpl::settings::FindValueQuery(c.serial) != nullptr;
  auto* sub = app.add_subcommand(c.cli, c.help);
  auto target = AddTarget(sub);
  auto values = std::make_shared<std::vector<int64_t>>();
  if (serial->values > 0)
    sub->add_option("VALUE", *values, c.valueHelp)
        ->expected(serial->values)
        ->required()
        ->check(CLI::Range(int64_t{0}, c.max));
  sub->callback([&env, &c, serial, network, query, target, values] {
    const std::vector<int32_t> v(values->begin(), values->end());
    if (target->ipOption->count() > 0) {
      if (!network) throw CLI::ValidationError("--ip", std::string(c.cli) + " has no network form");
      if (!wpl::link::ParseIpv4(target->ip.c_str()))
        throw CLI::ValidationError("--ip", "not an IPv4 address: " + target->ip);
      const int r = wpl::settings::RunLanSetting(env, *network, target->ip.c_str(), v);
      std::printf(r == 0 ? "%s: %s acknowledged\n" : "%s: %s did not acknowledge\n", c.cli,
                  target->ip.c_str());
      Finish(r);
    }
    const auto r = wpl::settings::RunSerialSetting(env, *serial, target->address, target->port, v);
    if (query) {
      const int32_t value = wpl::link::ValueOrFailure(r);
      if (value == wpl::link::kNoValue)
        std::printf("%s: no value from terminal %d (65535)\n", c.cli, target->address);
      else
        std::printf("%d\n", value);
      Finish(value == wpl::link::kNoValue ? 1 : 0);
    }
    std::printf(r.outcome == wpl::link::SerialOutcome::kDone
                    ? "%s: terminal %d acknowledged\n"
                    : "%s: terminal %d did not acknowledge\n",
                c.cli, target->address);
    Finish(wpl::link::DoneOrFailed(r));
  });
}

}  // namespace

void AddCards(CLI::App& app, wpl::Env& env) {
  for (const CardCommand& c : kCommands) AddCardCommand(app, env, c);
  // One real-time fetch: the text exactly as the exports return it.
  auto* fetch = app.add_subcommand(
      "real-download", "Fetch the one record a terminal holds ready, as the real-time text");
  auto target = AddTarget(fetch);
  fetch->callback([&env, target] {
    const auto got = target->ipOption->count() > 0
                         ? wpl::download::LanRealtimeFetch(env, target->ip.c_str())
                         : wpl::download::SerialRealtimeFetch(env, target->address, target->port);
    std::printf("%s\n", got.text.c_str());
    Finish(got.outcome == wpl::download::RealtimeOutcome::kFailed ? 1 : 0);
  });
}

}  // namespace pclog
