// A virtual environment with one network terminal listening on port 1024 of
// an address.
#pragma once
#include <utility>

#include "virtual_env.h"

namespace wpl::testing {

struct NetworkSite : VirtualEnv {
  NetworkSite(Ipv4Address address, sim::TerminalConfig config, sim::NetworkFaults faults = {})
      : terminal(OnTheNetwork(config)) {
    sockets.Attach(address, &terminal, std::move(faults));
  }
  sim::TerminalModel terminal;

 private:
  static sim::TerminalConfig OnTheNetwork(sim::TerminalConfig c) {
    c.network = true;
    return c;
  }
};

}  // namespace wpl::testing
