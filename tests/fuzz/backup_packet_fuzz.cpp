// Whatever a module sends on the backup link: the block loop of a receive
// ends, writes only data of blocks that sum to zero and never more than
// arrived, and acknowledges each block it writes. The parser takes any bytes
// and gives back only packets that rebuild to themselves; the builder's
// packets always sum to zero.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fingerprint/backup.h"
#include "fingerprint/backup_packet.h"
#include "memory_file.h"

namespace {

using namespace wpl;

class StepClock : public Clock {
 public:
  Nanos Now() override { return now; }
  void Sleep(Millis d) override { now += d; }
  LocalTime Local() override { return {}; }
  Nanos now{0};
};

// Hands out the module's bytes `step` at a time; counts the host's bytes.
class ModulePort : public SerialPort {
 public:
  ModulePort(std::span<const uint8_t> bytes, size_t step, StepClock& clock)
      : bytes_(bytes), step_(step), clock_(clock) {}
  bool Configure(const LineConfig&) override { return true; }
  size_t Write(std::span<const uint8_t> b) override {
    written += b.size();
    return b.size();
  }
  size_t Read(std::span<uint8_t> out) override {
    const size_t n = std::min({out.size(), step_, bytes_.size() - pos_});
    if (n == 0) {
      clock_.Sleep(Millis{5});
      return 0;
    }
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
    pos_ += n;
    return n;
  }
  size_t written = 0;

 private:
  std::span<const uint8_t> bytes_;
  size_t step_, pos_ = 0;
  StepClock& clock_;
};

}  // namespace

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

  StepClock clock;
  Env env;
  env.clock = &clock;
  ModulePort port(bytes, 1 + data[0] % 64, clock);
  wpl::testing::MemoryFile file;
  const BackupOutcome outcome = ReceiveBlocks(env, port, file);
  if (file.data.size() > bytes.size()) std::abort();
  // Each written block was acknowledged: 18 bytes each.
  if (port.written % kBackupOverhead != 0) std::abort();
  if (outcome == BackupOutcome::kDone && port.written == 0) std::abort();
  return 0;
}
