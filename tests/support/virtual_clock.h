// Virtual time: a clock that moves only when the code under test sleeps on it
// (or a virtual read waits on it), so a 27-second scan runs in microseconds
// and limits are exact. It needs nothing beyond the platform's clock, so the
// fuzz targets use it too.
#pragma once
#include <chrono>

#include "platform/clock.h"

namespace wpl::testing {

class FakeClock : public Clock {
 public:
  Nanos Now() override { return now_; }
  void Sleep(Millis d) override { now_ += d; }
  // Calendar time: `base` plus the virtual time elapsed, whole seconds.
  LocalTime Local() override {
    using namespace std::chrono;
    const sys_days day = year_month_day{year{base_.year}, month{static_cast<unsigned>(base_.month)},
                                        std::chrono::day{static_cast<unsigned>(base_.day)}};
    const sys_seconds t = day + hours{base_.hour} + minutes{base_.minute} + seconds{base_.second} +
                          duration_cast<seconds>(now_);
    const sys_days d = floor<days>(t);
    const year_month_day ymd{d};
    const hh_mm_ss hms{t - d};
    return {static_cast<int>(ymd.year()),
            static_cast<int>(unsigned(ymd.month())),
            static_cast<int>(unsigned(ymd.day())),
            static_cast<int>(hms.hours().count()),
            static_cast<int>(hms.minutes().count()),
            static_cast<int>(hms.seconds().count())};
  }
  void Advance(Nanos d) { now_ += d; }
  void SetLocalBase(LocalTime base) { base_ = base; }

 private:
  Nanos now_{0};
  LocalTime base_{2026, 5, 17, 14, 3, 9};
};

}  // namespace wpl::testing
