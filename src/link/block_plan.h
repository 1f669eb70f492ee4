// The parameter block (0x15, 0x01, N, 255 - N, the data, their sum) as it
// goes out. The terminals' firmware reads some blocks byte by byte and wants
// them in pieces with pauses between: each export has its shape and its
// pauses. PlanBlock turns payload, shape and pauses into the writes to make;
// the serial and the network writers replay the plan, so one table of byte
// examples tests both.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "platform/clock.h"

namespace wpl::link {

// How the block is cut into writes (serial) or sends (network).
enum class BlockShape : uint8_t {
  kNone,           // no block
  kNakOnly,        // the 0x15 alone: a request, no head and no data follow
  kWhole,          // all N + 5 bytes at once
  kBytes,          // every byte on its own
  kSplit,          // 0x15 alone, the head (01 N ~N) at once, then each data byte and the checksum
  kNakThenRest,    // 0x15 alone, then the other N + 4 bytes at once
  kHeadThenBytes,  // 0x15 and the head at once, then each data byte and the checksum
};

// The pauses around the 0x15 apply where it goes alone; a paced block waits
// after each data byte from `pacedFrom` on (a text the terminal stores
// character by character).
struct BlockPacing {
  Millis beforeNak{0};
  Millis afterNak{0};
  int pacedFrom = -1;  // payload offset; -1: no data byte is paced
  Millis paced{0};
  Millis afterBlock{0};  // after the checksum
};

struct BlockPlan {
  // A pause, then bytes[from, from + count); a step of no bytes is a pause.
  struct Step {
    Millis pause{0};
    uint16_t from = 0, count = 0;
    friend bool operator==(const Step&, const Step&) = default;
  };
  std::vector<uint8_t> bytes;
  std::vector<Step> steps;

  std::span<const uint8_t> BytesOf(const Step& s) const {
    return std::span(bytes).subspan(s.from, s.count);
  }
};

// Plans the block of `payload` (at most 255 bytes; std::length_error above,
// as the length byte allows no more).
BlockPlan PlanBlock(std::span<const uint8_t> payload, BlockShape shape,
                    const BlockPacing& pacing = {});

// Whether a pause of the plan is shorter than the system's default timer
// step, so that its replay needs a FineSleeps to keep to it.
bool HoldsFinePauses(const BlockPlan& plan);

// Replays a plan: `pause(duration)` for each pause, `write(bytes)` for each piece.
template <typename Pause, typename Write>
void ReplayBlock(const BlockPlan& plan, Pause&& pause, Write&& write) {
  for (const BlockPlan::Step& s : plan.steps) {
    if (s.pause > Millis{0}) pause(s.pause);
    if (s.count > 0) write(plan.BytesOf(s));
  }
}

}  // namespace wpl::link
