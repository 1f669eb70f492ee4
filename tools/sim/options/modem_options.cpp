#include "modem_options.h"

#include <map>
#include <stdexcept>

namespace wpl::sim {

void AddModemOptions(CLI::App& app, ModemOptions& o) {
  app.add_flag("--modem", o.enabled,
               "A modem on --link instead of a terminal; the terminal options make the "
               "terminal behind each number that connects");
  app.add_option("--dial", o.dial,
                 "A number in the modem's directory, NUMBER[,RESULT]: RESULT is connect "
                 "(default), no-carrier, busy or silent");
  app.add_flag("--modem-echo", o.echo, "Echo commands until AT E0 (again after each hang-up)");
  app.add_option("--connect-speed", o.connectSpeed,
                 "The speed in the CONNECT result (0: a plain CONNECT)");
  app.add_option("--dial-time-ms", o.dialTimeMs, "From a dial to its result")
      ->check(CLI::Range(0, 60000));
  app.add_option("--modem-baud", o.baud, "The speed of the host's line to the modem");
}

ModemModel MakeModem(const ModemOptions& o, const std::function<TerminalModel*()>& newTerminal) {
  static const std::map<std::string, DialResult> kResults = {{"connect", DialResult::kConnect},
                                                             {"no-carrier", DialResult::kNoCarrier},
                                                             {"busy", DialResult::kBusy},
                                                             {"silent", DialResult::kSilent}};
  std::vector<DialEntry> directory;
  for (const std::string& text : o.dial) {
    const auto comma = text.find(',');
    DialEntry entry{text.substr(0, comma)};
    if (comma != std::string::npos) {
      const auto it = kResults.find(text.substr(comma + 1));
      if (it == kResults.end()) throw std::runtime_error("unknown dial result: " + text);
      entry.result = it->second;
    }
    if (entry.result == DialResult::kConnect) entry.terminal = newTerminal();
    directory.push_back(std::move(entry));
  }
  ModemConfig config;
  config.baud = o.baud;
  config.echo = o.echo;
  config.connectSpeed = o.connectSpeed;
  config.dialTime = Millis{o.dialTimeMs};
  return ModemModel(config, std::move(directory));
}

}  // namespace wpl::sim
