#include <cstdio>

#include "commands.h"
#include "exports/results.h"
#include "link/network_basics.h"

namespace pclog {

void AddNetworkBasics(CLI::App& app, wpl::Env& env) {
  auto ip = std::make_shared<std::string>();
  auto* clear = app.add_subcommand("lan-delete", "Clear the records held by a network terminal");
  clear->add_option("ip", *ip, "The terminal's IPv4 address (TCP port 1024)")->required();
  clear->callback([ip, &env] {
    const int r = wpl::exports::DoneOrFailed(wpl::link::LanClearRecords(env, ip->c_str()));
    Field("ip", *ip);
    std::printf(r == 0 ? "clear sent to %s\n" : "could not reach %s\n", ip->c_str());
    Finish(r);
  });
}

}  // namespace pclog
