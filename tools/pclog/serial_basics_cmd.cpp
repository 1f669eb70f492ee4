#include <cstdio>

#include "commands.h"
#include "link/serial_basics.h"

namespace pclog {

void AddSerialBasics(CLI::App& app, wpl::Env& env) {
  struct Args {
    int address = 1;
    int port = 1;
  };
  auto args = std::make_shared<Args>();
  auto* testcom = app.add_subcommand("testcom", "Find the port a terminal answers on");
  auto* clear = app.add_subcommand("delete", "Clear the records held by a terminal");
  for (auto* sub : {testcom, clear}) {
    sub->add_option("--address", args->address, "Terminal address")->capture_default_str();
    sub->add_option("--port", args->port, "Port the scan starts from (1..6)")->capture_default_str();
  }
  testcom->callback([args, &env] {
    int found = wpl::link::TestCom(env, args->address, args->port);
    if (found < 0) {
      std::printf("no terminal %d answered on any port\n", args->address);
      Finish(1);
    }
    std::printf("terminal %d answers on port %d\n", args->address, found);
  });
  clear->callback([args, &env] {
    int r = wpl::link::ClearRecords(env, args->address, args->port);
    std::printf(r == 0 ? "terminal %d cleared\n" : "terminal %d did not acknowledge\n",
                args->address);
    Finish(r);
  });
}

}  // namespace pclog
