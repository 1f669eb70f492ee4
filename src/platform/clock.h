// Time services. Elapsed times are measured on a monotonic clock so that a
// change of the calendar clock (or a daylight-saving shift) never stretches or
// shortens a wait; calendar time serves only for the date stamps in file names.
#pragma once
#include <chrono>
#include <cstdint>

namespace wpl {

using Millis = std::chrono::milliseconds;
using Nanos = std::chrono::nanoseconds;

struct LocalTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time since an arbitrary origin.
  virtual Nanos Now() = 0;
  virtual void Sleep(Millis duration) = 0;
  virtual LocalTime Local() = 0;
};

// A monotonic stopwatch. The protocol's limits are "strictly more than L", so a
// wait of limit L ends only once Elapsed() > L.
class Stopwatch {
 public:
  explicit Stopwatch(Clock& clock) : clock_(clock), start_(clock.Now()) {}
  void Restart() { start_ = clock_.Now(); }
  Nanos Elapsed() const { return clock_.Now() - start_; }
  bool Exceeded(Nanos limit) const { return Elapsed() > limit; }

 private:
  Clock& clock_;
  Nanos start_;
};

// Sleeps until strictly more than `limit` has passed on `watch`: a hold the
// terminal is given after its answer.
inline void SleepPast(Clock& clock, const Stopwatch& watch, Nanos limit) {
  if (watch.Exceeded(limit)) return;
  clock.Sleep(std::chrono::ceil<Millis>(limit - watch.Elapsed()));
  while (!watch.Exceeded(limit)) clock.Sleep(Millis{1});
}

}  // namespace wpl
