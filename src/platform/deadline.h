// One deadline for every wait the platform makes on both systems: serial
// reads and writes, connects and receives. It runs on the system's monotonic
// clock, so a change of the calendar clock never stretches or cuts a wait.
// poll(), select() and the port timeouts take their limits as milliseconds
// from now; the deadline hands them what is left, rounded up (a wait never
// ends short of the deadline) and clamped, so no limit is ever turned into a
// wrong number however long the machine has run.
#pragma once
#include <algorithm>
#include <chrono>

#include "platform/clock.h"

namespace wpl {

// The system's monotonic clock (the steady clock on POSIX, the performance
// counter on Windows), since an arbitrary origin.
Nanos MonotonicNow();

class Deadline {
 public:
  explicit Deadline(Nanos in) : at_(MonotonicNow() + in) {}
  Nanos Left() const { return std::max(at_ - MonotonicNow(), Nanos{0}); }
  bool Passed() const { return MonotonicNow() >= at_; }
  // What is left, in whole milliseconds rounded up, 0 once passed.
  int WaitMillis() const {
    const auto left = std::chrono::ceil<Millis>(at_ - MonotonicNow()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, kMaxWaitMillis));
  }

 private:
  static constexpr long long kMaxWaitMillis = 1 << 30;
  Nanos at_;
};

}  // namespace wpl
