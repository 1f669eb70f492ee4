#include <cstdio>

#include "commands.h"
#include "link/ipv4_text.h"

namespace pclog {

std::shared_ptr<Target> AddTarget(CLI::App* sub) {
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

void CheckIp(const Target& t) {
  if (!wpl::link::ParseIpv4(t.ip.c_str()))
    throw CLI::ValidationError("--ip", "not an IPv4 address: " + t.ip);
}

void Report(const char* what, wpl::link::SerialResult r, const Target& t) {
  using wpl::link::SerialOutcome;
  Field("address", t.address);
  Field("port", r.port);
  switch (r.outcome) {
    case SerialOutcome::kDone:
      std::printf("%s: terminal %d on port %d acknowledged\n", what, t.address, r.port);
      break;
    case SerialOutcome::kRefused:
      std::printf("%s: terminal %d on port %d did not acknowledge\n", what, t.address, r.port);
      break;
    case SerialOutcome::kUnanswered:
      std::printf("%s: no terminal %d answered on any port\n", what, t.address);
      break;
  }
}

void Report(const char* what, wpl::link::LanResult r, const Target& t) {
  std::printf(r.done() ? "%s: %s acknowledged\n" : "%s: %s did not acknowledge\n", what,
              t.ip.c_str());
}

}  // namespace pclog
