// Host bytes of any kind, at either speed, must never upset the terminal
// model that the simulator and the unit tests rely on, nor the modem in
// front of one, in command mode or in data mode, with the port closed now
// and then.
#include <cstddef>
#include <cstdint>

#include "modem.h"
#include "terminal_model.h"

namespace {

using namespace wpl::sim;

void Drive(LinePeer& peer, const uint8_t* data, size_t size, uint32_t speed, uint32_t other) {
  Nanos now{0};
  uint8_t out[64];
  for (size_t i = 0; i < size; i += 7) {
    const size_t n = size - i < 7 ? size - i : 7;
    peer.Receive({data + i, n}, LineState{(data[i] & 1) ? other : speed, 1}, now);
    now += Millis{data[i]};
    peer.Transmit(out, now);
    if (data[i] == 0x7F) peer.HostClosed(now);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  TerminalConfig config;
  config.address = data[0];
  config.ackFault = static_cast<AckFault>(data[1] % 5);
  config.ackDelay = Millis{data[1]};
  {
    TerminalModel model(config);
    Drive(model, data + 2, size - 2, 57600, 19200);
  }
  // The same bytes to a modem whose directory reaches the terminal at "1".
  TerminalModel terminal(config);
  terminal.records() = GenerateRecords(40, 1);
  ModemModel modem({.echo = (data[1] & 0x80) != 0},
                   {{"1", DialResult::kConnect, &terminal}, {"2", DialResult::kBusy}});
  Drive(modem, data + 2, size - 2, 9600, 19200);
  return 0;
}
