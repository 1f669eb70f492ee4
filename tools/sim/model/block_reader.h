// The terminal's side of a parameter block: after a frame it has accepted, the
// terminal takes 0x15, 0x01, N, 255 - N, N data bytes and their sum modulo 256
// as the command's data. Bytes that do not start a block leave it unarmed.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace wpl::sim {

struct ReceivedBlock {
  std::vector<uint8_t> payload;
  bool checksumOk = false;
};

class BlockReader {
 public:
  // A block may follow the frame just accepted.
  void Arm() {
    armed_ = true;
    bytes_.clear();
  }
  void Disarm() { armed_ = false; }
  bool Armed() const { return armed_; }

  // Feeds one host byte; gives the block once its checksum byte is in.
  std::optional<ReceivedBlock> OnByte(uint8_t b) {
    if (!armed_) return std::nullopt;
    bytes_.push_back(b);
    const size_t n = bytes_.size();
    const bool headOk = (n != 1 || b == 0x15) && (n != 2 || b == 0x01) &&
                        (n != 4 || b == static_cast<uint8_t>(0xFF - bytes_[2]));
    if (!headOk) {
      armed_ = false;
      return std::nullopt;
    }
    if (n < 4 || n < bytes_[2] + 5u) return std::nullopt;
    armed_ = false;
    ReceivedBlock block{{bytes_.begin() + 4, bytes_.end() - 1}, false};
    unsigned sum = 0;
    for (uint8_t d : block.payload) sum += d;
    block.checksumOk = static_cast<uint8_t>(sum) == bytes_.back();
    return block;
  }

 private:
  bool armed_ = false;
  std::vector<uint8_t> bytes_;
};

}  // namespace wpl::sim
