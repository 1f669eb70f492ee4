#include "settings_options.h"

#include <map>
#include <stdexcept>

namespace wpl::sim {
namespace {

unsigned long Number(const std::string& text, unsigned long max, const std::string& what) {
  size_t used = 0;
  unsigned long n = 0;
  try {
    n = std::stoul(text, &used, 0);
  } catch (const std::exception&) {
    used = 0;
  }
  if (text.empty() || used != text.size() || n > max)
    throw std::runtime_error("not a " + what + ": " + text);
  return n;
}

}  // namespace

std::vector<std::pair<uint16_t, uint16_t>> ParseUsers(const std::string& text) {
  std::vector<std::pair<uint16_t, uint16_t>> ranges;
  size_t from = 0;
  while (from <= text.size() && !text.empty()) {
    const size_t comma = text.find(',', from);
    const std::string part = text.substr(from, comma == std::string::npos ? comma : comma - from);
    const size_t dash = part.find('-');
    const auto first = static_cast<uint16_t>(Number(part.substr(0, dash), 65535, "person number"));
    const auto last =
        dash == std::string::npos
            ? first
            : static_cast<uint16_t>(Number(part.substr(dash + 1), 65535, "person number"));
    if (last < first) throw std::runtime_error("empty range of persons: " + part);
    ranges.emplace_back(first, last);
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return ranges;
}

void ParseCommandFault(const std::string& text, std::map<uint8_t, CommandFaults>& into) {
  const size_t a = text.find(':'), b = a == std::string::npos ? a : text.find(':', a + 1);
  if (b == std::string::npos)
    throw std::runtime_error("command fault wants CMD:WHERE:KIND: " + text);
  const auto command = static_cast<uint8_t>(Number(text.substr(0, a), 255, "command byte"));
  const std::string where = text.substr(a + 1, b - a - 1);
  std::string kind = text.substr(b + 1);
  Answer answer;
  if (kind.rfind("late=", 0) == 0) {
    answer = {AckFault::kLate,
              Millis{static_cast<long>(Number(kind.substr(5), 86'400'000, "delay"))}};
  } else {
    static const std::map<std::string, AckFault> kKinds = {{"ack", AckFault::kNone},
                                                           {"silent", AckFault::kSilent},
                                                           {"nak", AckFault::kNak},
                                                           {"wrong-speed", AckFault::kWrongSpeed}};
    const auto it = kKinds.find(kind);
    if (it == kKinds.end()) throw std::runtime_error("unknown answer: " + kind);
    answer.fault = it->second;
  }
  CommandFaults& f = into[command];
  if (where == "frame")
    f.frame = answer;
  else if (where == "block")
    f.block = answer;
  else if (where == "second")
    f.second = answer;
  else
    throw std::runtime_error("a command fault strikes the frame, the block or the second ACK: " +
                             where);
}

void AddSettingsOptions(CLI::App& app, SettingsOptions& o) {
  app.add_option("--users", o.users,
                 "The persons the terminal holds, all enabled at first: ranges like 1-100,300 "
                 "(a person it does not hold gets no answer)")
      ->capture_default_str();
  app.add_option("--command-fault", o.commandFaults,
                 "CMD:WHERE:KIND[=MS]: how command CMD (0x0a or 10) is answered at WHERE (frame, "
                 "block, second) - ack, silent, nak, late=MS, wrong-speed");
}

void ApplySettingsOptions(const SettingsOptions& o, TerminalConfig& config) {
  config.users = ParseUsers(o.users);
  for (const std::string& text : o.commandFaults) ParseCommandFault(text, config.commandFaults);
}

}  // namespace wpl::sim
