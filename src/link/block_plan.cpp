#include "link/block_plan.h"

#include "link/command_frame.h"
#include "platform/fine_sleeps.h"

namespace wpl::link {
namespace {

// The head of a parameter block: 0x15, 0x01, N, 255 - N.
constexpr size_t kHeadSize = 4;

// Collects the steps: pauses accumulate until the next piece takes them.
class Planner {
 public:
  explicit Planner(BlockPlan& plan) : plan_(plan) {}
  void Pause(Millis pause) { pending_ += pause; }
  void Piece(size_t from, size_t count) {
    plan_.steps.push_back({pending_, static_cast<uint16_t>(from), static_cast<uint16_t>(count)});
    pending_ = Millis{0};
  }
  void Finish() {
    if (pending_ > Millis{0}) Piece(plan_.bytes.size(), 0);
  }

 private:
  BlockPlan& plan_;
  Millis pending_{0};
};

}  // namespace

bool HoldsFinePauses(const BlockPlan& plan) {
  for (const BlockPlan::Step& s : plan.steps)
    if (NeedsFineSleeps(s.pause)) return true;
  return false;
}

BlockPlan PlanBlock(std::span<const uint8_t> payload, BlockShape shape, const BlockPacing& pacing) {
  BlockPlan plan;
  if (shape == BlockShape::kNone) return plan;
  plan.bytes =
      shape == BlockShape::kNakOnly ? std::vector<uint8_t>{kNak} : BuildParameterBlock(payload);
  const size_t end = plan.bytes.size();
  const size_t checksum = end - 1;
  Planner p(plan);
  p.Pause(pacing.beforeNak);
  // Each byte from `from` on in a piece of its own; paced data bytes are
  // followed by their pause.
  auto oneByOne = [&](size_t from) {
    for (size_t i = from; i < end; ++i) {
      p.Piece(i, 1);
      const auto offset = static_cast<int>(i - kHeadSize);
      if (i < checksum && pacing.pacedFrom >= 0 && offset >= pacing.pacedFrom)
        p.Pause(pacing.paced);
    }
  };
  auto nakAlone = [&] {
    p.Piece(0, 1);
    p.Pause(pacing.afterNak);
  };
  switch (shape) {
    case BlockShape::kNone: break;
    case BlockShape::kNakOnly: nakAlone(); break;
    case BlockShape::kWhole: p.Piece(0, end); break;
    case BlockShape::kBytes:
      nakAlone();
      oneByOne(1);
      break;
    case BlockShape::kSplit:
      nakAlone();
      p.Piece(1, kHeadSize - 1);
      oneByOne(kHeadSize);
      break;
    case BlockShape::kNakThenRest:
      nakAlone();
      p.Piece(1, end - 1);
      break;
    case BlockShape::kHeadThenBytes:
      p.Piece(0, kHeadSize);
      oneByOne(kHeadSize);
      break;
  }
  p.Pause(pacing.afterBlock);
  p.Finish();
  return plan;
}

}  // namespace wpl::link
