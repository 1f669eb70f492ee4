#include <cstdio>

#include "commands.h"
#include "exports/results.h"
#include "link/serial_basics.h"

namespace pclog {

void AddSerialBasics(CLI::App& app, wpl::Env& env) {
  auto* testcom = app.add_subcommand("testcom", "Find the port a terminal answers on");
  auto* clear = app.add_subcommand("delete", "Clear the records held by a terminal");
  testcom->callback([args = AddSerialTarget(testcom), &env] {
    const int found = wpl::exports::PortOrNone(wpl::link::TestCom(env, args->address, args->port));
    Field("port", found);
    if (found < 0) {
      std::printf("no terminal %d answered on any port\n", args->address);
      Finish(1);
    }
    std::printf("terminal %d answers on port %d\n", args->address, found);
  });
  clear->callback([args = AddSerialTarget(clear), &env] {
    const int r =
        wpl::exports::DoneOrFailed(wpl::link::ClearRecords(env, args->address, args->port));
    std::printf(r == 0 ? "terminal %d cleared\n" : "terminal %d did not acknowledge\n",
                args->address);
    Finish(r);
  });
}

}  // namespace pclog
