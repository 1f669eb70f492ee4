// The settings family of pclog, generated from one table: each command names
// its serial and its network export (either may be missing), and its value
// arguments with the range the terminal can take. The target is
// --address/--port (serial) or --ip (network), from one shared option group;
// a value out of range or an IP text that is not an address is refused
// before anything is sent.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "settings/line_speed.h"
#include "settings/settings.h"

namespace pclog {
namespace {

using wpl::settings::FindSetting;
using wpl::settings::Setting;

struct ValueArg {
  const char* name;
  int64_t min, max;
};

constexpr ValueArg kByte{"VALUE", 0, 255};
constexpr ValueArg kNumber{"NUMBER", 0, 65535};

struct SettingCommand {
  const char* cli;
  const char* help;
  const char* serial;   // export name, or nullptr
  const char* network;  // export name, or nullptr
  ValueArg value{};     // the kind of each value argument
  const char* valueHelp = "";
};

const SettingCommand kCommands[] = {
    {"set-time", "Set the terminal's clock: seven bytes as the terminal reads them", "_SETTIME",
     "_LANSETTIME", kByte, "The seven clock bytes, sent as given"},
    {"set-machine-id", "Set the terminal's machine number", "_SETMACHINEID", nullptr, kByte,
     "The machine number"},
    {"set-password", "Set the terminal's password", "_SETPASSWORD", nullptr, kNumber,
     "The password, 0..65535"},
    {"answer", "Send the one-byte value of command 0x03", nullptr, "_LANANSWER", kByte,
     "The value"},
    {"enable-all", "Enable every enrolled user", "_ENABLEALL", "_LANENABLEALL"},
    {"disable-all", "Disable every enrolled user", "_DISABLEALL", "_LANDISABLEALL"},
    {"enable-person", "Enable one user", "_ENABLEPERSON", "_LANENABLEPERSON", kNumber,
     "The person number, 0..65535"},
    {"disable-person", "Disable one user", "_DISABLEPERSON", "_LANDISABLEPERSON", kNumber,
     "The person number, 0..65535"},
    {"restore", "Send the restore command (0x0C)", "_RESTORE", nullptr},
    {"restore-all", "Send the restore-all command (0x0F)", "_RESTOREALL", "_LANRESTOREALL"},
    {"set-open-mode", "Set the door opening mode", "_SETOPENMODE", "_LANSETOPENMODE", kByte,
     "The mode byte"},
    {"set-open-time", "Set the door opening time", "_SETOPENTIME", "_LANSETOPENTIME", kByte,
     "The time byte"},
    {"set-open-close", "Set the door open or closed (serial: 1 opens; network: the byte as given)",
     "_SETOPENCLOSE", "_LANSETOPENCLOSE", kByte, "Serial: 1 opens, 0 closes; network: 0x55 opens"},
    {"set-bell", "Set the bell: three bytes", "_SETBELL", nullptr, kByte, "The three bell bytes"},
    {"set-sn", "File an SN number with a second number", "_SETSN", "_LANSETSN", kNumber,
     "The SN number and the number filed with it"},
    {"del-sn", "Delete an SN number", "_DELSN", "_LANDELSN", kNumber, "The SN number"},
    {"set-sn-or-card", "Choose between SN and card", "_SETSNORCARD", nullptr, kByte,
     "The mode byte"},
    {"set-card-wait-time", "Set the card wait time", "_SETCARDWAITTIME", nullptr, kByte,
     "The wait byte"},
    {"set-lock-number", "Set the lock number", "_SETLOCKNUM", nullptr, kNumber, "The lock number"},
    {"del-lock-number", "Clear the lock number", "_DELLOCKNUM", nullptr},
};

void AddSettingCommand(CLI::App& app, wpl::Env& env, const SettingCommand& c) {
  const Setting* serial = c.serial ? FindSetting(c.serial) : nullptr;
  const Setting* network = c.network ? FindSetting(c.network) : nullptr;
  const int count = (serial ? serial : network)->values;
  auto* sub = app.add_subcommand(c.cli, c.help);
  auto target = AddTarget(sub);
  auto values = std::make_shared<std::vector<int64_t>>();
  if (count > 0) {
    sub->add_option(c.value.name, *values, c.valueHelp)
        ->expected(count)
        ->required()
        ->check(CLI::Range(c.value.min, c.value.max));
  }
  sub->callback([&env, &c, serial, network, target, values] {
    const std::vector<int32_t> v(values->begin(), values->end());
    if (target->ipOption->count() > 0) {
      if (!network) throw CLI::ValidationError("--ip", std::string(c.cli) + " has no network form");
      CheckIp(*target);
      const int r = wpl::settings::RunLanSetting(env, *network, target->ip.c_str(), v);
      Field("ip", target->ip);
      std::printf(r == 0 ? "%s: %s acknowledged\n" : "%s: %s did not acknowledge\n", c.cli,
                  target->ip.c_str());
      Finish(r);
    }
    if (!serial) throw CLI::ValidationError("--ip", std::string(c.cli) + " needs --ip");
    const auto r = wpl::settings::RunSerialSetting(env, *serial, target->address, target->port, v);
    Report(c.cli, r, *target);
    Finish(wpl::link::DoneOrFailed(r));
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
    if (r.result == 0) Field("baud", r.baud);
    if (r.result == 0)
      std::printf("set-baud-rate: the terminal on port %d answered at %u baud (attempt %d)\n",
                  *port, r.baud, r.attempts);
    else if (r.attempts == 0)
      std::printf("set-baud-rate: port %d cannot be opened\n", *port);
    else
      std::printf("set-baud-rate: no answer on port %d at any of %d speeds\n", *port, r.attempts);
    Finish(r.result);
  });
}

}  // namespace

void AddSettings(CLI::App& app, wpl::Env& env) {
  for (const SettingCommand& c : kCommands) AddSettingCommand(app, env, c);
  AddSetBaudRate(app, env);
}

}  // namespace pclog
