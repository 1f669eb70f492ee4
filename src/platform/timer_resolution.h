// Sleeps of one millisecond that last about one millisecond. Windows rounds a
// sleep up to its timer tick (15.6 ms unless raised), which would stretch a
// transfer paced by 1 ms pauses fifteen-fold; while a FineSleeps lives the
// tick is 1 ms. Elsewhere sleeps are fine already and it does nothing.
#pragma once

namespace wpl {

class FineSleeps {
 public:
  FineSleeps();
  ~FineSleeps();
  FineSleeps(const FineSleeps&) = delete;
  FineSleeps& operator=(const FineSleeps&) = delete;

 private:
  [[maybe_unused]] bool raised_ = false;
};

}  // namespace wpl
