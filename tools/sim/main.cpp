// pclog-sim: a KORVANE terminal on a pseudo-terminal, for tests and demos.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <map>

#include <CLI/CLI.hpp>

#include "pty_frontend.h"

namespace {

std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }

}  // namespace

int main(int argc, char** argv) {
  using namespace wpl::sim;
  CLI::App app{"KORVANE terminal simulator on a pseudo-terminal"};
  std::string link;
  std::string logPath;
  std::string fault = "none";
  int address = 1;
  uint32_t baud = 57600;
  int stopBits = 1;
  int ackDelayMs = 0;
  bool pace = false;
  app.add_option("--link", link, "Path of the symlink to the pty device (e.g. /tmp/com3)")
      ->required();
  app.add_option("--address", address, "Terminal address byte")->check(CLI::Range(0, 255));
  app.add_option("--baud", baud, "Line speed the terminal listens at");
  app.add_option("--stop-bits", stopBits, "Stop bits the terminal expects")->check(CLI::Range(1, 2));
  app.add_option("--log", logPath, "Log every received byte with a timestamp to this file");
  app.add_option("--fault", fault, "Answer to frames: none, silent, nak, late, wrong-speed")
      ->check(CLI::IsMember({"none", "silent", "nak", "late", "wrong-speed"}));
  app.add_option("--ack-delay-ms", ackDelayMs, "Delay of the ACK with --fault late");
  app.add_flag("--pace", pace, "Send no faster than the line speed carries bytes");
  CLI11_PARSE(app, argc, argv);

  static const std::map<std::string, AckFault> kFaults = {
      {"none", AckFault::kNone},  {"silent", AckFault::kSilent},
      {"nak", AckFault::kNak},    {"late", AckFault::kLate},
      {"wrong-speed", AckFault::kWrongSpeed}};
  TerminalConfig config;
  config.address = static_cast<uint8_t>(address);
  config.baud = baud;
  config.stopBits = stopBits;
  config.ackFault = kFaults.at(fault);
  config.ackDelay = Millis{ackDelayMs};
  config.pace = pace;

  std::FILE* log = nullptr;
  if (!logPath.empty() && !(log = std::fopen(logPath.c_str(), "a"))) {
    std::perror(logPath.c_str());
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  try {
    TerminalModel model(config);
    PtyFrontend pty(model, link, log);
    std::printf("pclog-sim: terminal %d at %u baud on %s -> %s\n", address, baud, link.c_str(),
                pty.devicePath().c_str());
    std::fflush(stdout);
    pty.Run(g_stop);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pclog-sim: %s\n", e.what());
    return 1;
  }
  if (log) std::fclose(log);
  return 0;
}
