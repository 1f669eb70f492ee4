// Host bytes of any kind, at either speed, must never upset the terminal
// model that the simulator and the unit tests rely on.
#include <cstddef>
#include <cstdint>

#include "terminal_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace wpl::sim;
  if (size < 2) return 0;
  TerminalConfig config;
  config.address = data[0];
  config.ackFault = static_cast<AckFault>(data[1] % 5);
  config.ackDelay = Millis{data[1]};
  TerminalModel model(config);
  Nanos now{0};
  uint8_t out[64];
  for (size_t i = 2; i < size; i += 7) {
    const size_t n = size - i < 7 ? size - i : 7;
    const LineState line{(data[i] & 1) ? 19200u : 57600u, 1};
    model.Receive({data + i, n}, line, now);
    now += Millis{data[i]};
    model.Transmit(out, now);
  }
  return 0;
}
