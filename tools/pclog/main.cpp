// pclog: the library's conversations from the command line.
#include <cstdio>

#include <CLI/CLI.hpp>

#include "link/serial_basics.h"
#include "platform/env.h"

int main(int argc, char** argv) {
  CLI::App app{"Talk to KORVANE terminals"};
  app.require_subcommand(1);
  int address = 1;
  int port = 1;

  auto* testcom = app.add_subcommand("testcom", "Find the port a terminal answers on");
  auto* clear = app.add_subcommand("delete", "Clear the records held by a terminal");
  for (auto* sub : {testcom, clear}) {
    sub->add_option("--address", address, "Terminal address")->capture_default_str();
    sub->add_option("--port", port, "Port the scan starts from (1..6)")->capture_default_str();
  }
  CLI11_PARSE(app, argc, argv);

  wpl::Env& env = wpl::ProcessEnv();
  if (*testcom) {
    int found = wpl::link::TestCom(env, address, port);
    if (found < 0) {
      std::printf("no terminal %d answered on any port\n", address);
      return 1;
    }
    std::printf("terminal %d answers on port %d\n", address, found);
    return 0;
  }
  int r = wpl::link::ClearRecords(env, address, port);
  std::printf(r == 0 ? "terminal %d cleared\n" : "terminal %d did not acknowledge\n", address);
  return r;
}
