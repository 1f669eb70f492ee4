// Whatever a fingerprint module sends: the reply receiver ends, never reads
// a data part past its buffer, succeeds only with the whole announced part,
// and every ID list entry turns into a list line that reads back as the same
// template. The request builder's checksum holds for any command.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fingerprint/module_link.h"
#include "link/command_frame.h"
#include "platform/env.h"
#include "step_port.h"

namespace {

using namespace wpl;

using testing::FakeClock;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace wpl::fingerprint;
  if (size < 2) return 0;
  const size_t step = 1 + data[0] % 32;
  const std::span<const uint8_t> reply(data + 1, size - 1);

  FakeClock clock;
  Env env;
  env.clock = &clock;
  testing::StepPort port(testing::FixedSteps(reply, step), clock);
  ModuleBuffer buffer;
  const ModuleReply r = ReceiveReply(env, port, buffer, kHeaderSilence, kDataSilence);
  // Never more than a header and the data part that fits.
  if (port.pos() > kModuleBufferSize) std::abort();
  if (r.ok()) {
    if (reply.size() < kModulePacketSize) std::abort();
    const ReplyHeader h = ParseReplyHeader(
        std::span<const uint8_t, kModulePacketSize>(reply.data(), kModulePacketSize));
    if (h.dataLength > kMaxModuleData || r.data.size() != h.dataLength) std::abort();
    if (!std::equal(r.data.begin(), r.data.end(), reply.begin() + kModulePacketSize)) std::abort();
    if (r.header.status != reply[10]) std::abort();
  } else if (r.outcome == ReplyOutcome::kTooLong && port.pos() != kModulePacketSize) {
    std::abort();
  }

  for (const TemplateId& id : ParseIdList(reply)) {
    const std::string line = IdListLine(id);
    if (line.size() != 10 || ParseIdListLine(line) != id) std::abort();
    if (FromKey(TemplateKey(id)) != id) std::abort();
  }

  const ModulePacket p = BuildModulePacket(data[0], {static_cast<uint16_t>(size), 0, 0, 0});
  if (p[0] != 0 || p[10] != 0 || p[11] != link::Checksum8(std::span(p).first(11))) std::abort();
  return 0;
}
