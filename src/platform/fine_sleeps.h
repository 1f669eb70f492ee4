// Pauses of a millisecond. Windows sleeps in steps of its system timer, about
// 15.6 ms, unless a program asks for a finer one: a voice text paced at 1 ms
// a byte would crawl at 15.6 ms a byte. A conversation with pauses shorter
// than that holds a FineSleeps for its duration: the serial command and the
// network connection take one themselves when their pauses need it, and the
// fingerprint backup's line holds one with its port. On Windows its thread then
// sleeps on a high-resolution waitable timer, which ends a 1 ms pause after
// about 1 ms (Sleep(1) under a 1 ms system timer lasts 1 to 2 ms); where the
// system has no such timer, the system timer is set to 1 ms for the duration
// and goes back when it ends. Linux keeps to a sleep's end within the
// thread's timer slack (50 us unless changed), which over a 100 KiB backup
// sent a byte and a millisecond at a time adds five seconds: there a
// FineSleeps narrows the slack to 1 us.
#pragma once
#include <optional>

#include "platform/clock.h"

namespace wpl {

// The system's default timer step, rounded up: a pause shorter than this
// lasts what it says only under a FineSleeps.
constexpr Millis kDefaultTick{16};
constexpr bool NeedsFineSleeps(Millis pause) { return pause > Millis{0} && pause < kDefaultTick; }

class FineSleeps {
 public:
  FineSleeps();
  ~FineSleeps();
  FineSleeps(const FineSleeps&) = delete;
  FineSleeps& operator=(const FineSleeps&) = delete;

 private:
  bool raised_ = false;
  unsigned long previousSlack_ = 0;  // Linux: the slack to go back to
  void* timer_ = nullptr;            // Windows: this thread's fine timer
  void* previousTimer_ = nullptr;    // Windows: the one of an outer FineSleeps
};

// A FineSleeps taken only when a conversation holds a pause that needs it.
class FineSleepsWhen {
 public:
  explicit FineSleepsWhen(bool needed) {
    if (needed) fine_.emplace();
  }
  void Take() {
    if (!fine_) fine_.emplace();
  }
  bool held() const { return fine_.has_value(); }

 private:
  std::optional<FineSleeps> fine_;
};

}  // namespace wpl
