// The rigs the tests build on, one per transport: a terminal on a serial
// line (SerialRig), one on the network (NetworkSite), and one of each, built
// alike, for the exports that run over either (DualRig).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "network_site.h"
#include "terminal_model.h"
#include "virtual_env.h"
#include "wire_render.h"

namespace wpl::testing {

// A terminal (or a bare module) on one port of a virtual line.
struct SerialRig {
  SerialRig(sim::TerminalConfig config, int terminalPort)
      : terminal(std::move(config)), port(terminalPort) {
    v.serial.Attach(port, &terminal);
  }
  // A terminal on no line of its own (port 0): the rig built on this one
  // puts it behind what it attaches, a modem say.
  explicit SerialRig(sim::TerminalConfig config) : terminal(std::move(config)), port(0) {}
  std::string Path(const std::string& name) const { return v.Path(name); }
  std::vector<uint8_t> File(const std::string& name) const { return v.File(name); }
  bool Exists(const std::string& name) const { return v.Exists(name); }
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) const { v.Put(name, bytes); }
  // The host's writes at a speed (and with so many stop bits, when given).
  std::vector<WireChunk> WritesAt(uint32_t baud, std::optional<int> stopBits = {}) const {
    std::vector<WireChunk> out;
    for (const auto& c : v.serial.wire())
      if (c.fromHost && c.line.baud == baud && (!stopBits || c.line.stopBits == *stopBits))
        out.push_back(c);
    return out;
  }
  // What the host wrote after the first command frame.
  std::string AfterFrame() const { return testing::AfterFrame(v, false); }

  VirtualEnv v;
  sim::TerminalModel terminal;
  int port;
};

// A serial terminal on a port and a network one at an address, from the same
// configuration.
struct DualRig : SerialRig {
  DualRig(const sim::TerminalConfig& config, int terminalPort, Ipv4Address address,
          sim::NetworkFaults faults = {})
      : SerialRig(config, terminalPort), lan(address, config, std::move(faults)) {}
  // The environment and the terminal of a transport.
  VirtualEnv& Site(bool network) { return network ? lan : v; }
  const VirtualEnv& Site(bool network) const { return network ? lan : v; }
  sim::TerminalModel& Terminal(bool network) { return network ? lan.terminal : terminal; }
  const sim::TerminalModel& Terminal(bool network) const {
    return network ? lan.terminal : terminal;
  }
  // What went out after the frame, on the line or the connection.
  std::string AfterFrame(bool network) const { return testing::AfterFrame(Site(network), network); }

  NetworkSite lan;
};

}  // namespace wpl::testing
