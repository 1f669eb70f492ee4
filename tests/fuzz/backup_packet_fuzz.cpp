// Whatever a module sends on the backup link: the block loop of a receive
// ends, writes only data of blocks that sum to zero and never more than
// arrived, and acknowledges each block it writes. The parser takes any bytes
// and gives back only packets that rebuild to themselves; the builder's
// packets always sum to zero.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fingerprint/backup.h"
#include "fingerprint/backup_packet.h"
#include "memory_file.h"
#include "step_port.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace wpl::fingerprint;
  if (size < 1) return 0;
  const std::span<const uint8_t> bytes(data + 1, size - 1);

  if (const auto p = ParseBackupPacket(bytes)) {
    if (p->data.size() != p->length || bytes.size() != kBackupOverhead + p->length) std::abort();
    if (p->sumsToZero && p->framed &&
        BuildBackupPacket(p->fields, p->data) != std::vector<uint8_t>(bytes.begin(), bytes.end()))
      std::abort();
  }
  const BackupFields f{static_cast<uint16_t>(size), data[0], static_cast<uint16_t>(size * 7),
                       data[0], static_cast<uint16_t>(~size)};
  const auto built = BuildBackupPacket(f, bytes.first(std::min<size_t>(bytes.size(), 2000)));
  const auto back = ParseBackupPacket(built);
  if (!back || !back->sumsToZero || !back->framed || back->fields != f) std::abort();

  wpl::testing::FakeClock clock;
  wpl::Env env;
  env.clock = &clock;
  wpl::testing::StepPort port(wpl::testing::FixedSteps(bytes, 1 + data[0] % 64), clock);
  wpl::testing::MemoryFile file;
  const BackupOutcome outcome = ReceiveBlocks(env, port, file);
  if (file.data.size() > bytes.size()) std::abort();
  // Each written block was acknowledged: 18 bytes each.
  if (port.written % kBackupOverhead != 0) std::abort();
  if (outcome == BackupOutcome::kDone && port.written == 0) std::abort();
  return 0;
}
