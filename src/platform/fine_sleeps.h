// Pauses of a millisecond. Windows sleeps in steps of its system timer, about
// 15.6 ms, unless a program asks for a finer one: a voice text paced at 1 ms
// a byte would crawl at 15.6 ms a byte. An export that pauses per byte holds
// a FineSleeps for its duration; the timer goes back when it ends. Elsewhere
// sleeps are fine already and this does nothing.
#pragma once

namespace wpl {

class FineSleeps {
 public:
  FineSleeps();
  ~FineSleeps();
  FineSleeps(const FineSleeps&) = delete;
  FineSleeps& operator=(const FineSleeps&) = delete;

 private:
  bool raised_ = false;
};

}  // namespace wpl
