// The fine pauses of a FineSleeps' thread, which the system clock's Sleep
// takes while it stands. A plain pointer per thread: nothing with a
// destructor is kept per thread in the library, whose code a host may unload
// while its threads live on.
#pragma once
#include "platform/clock.h"

namespace wpl::win32 {

struct FineTimer {
  void* handle = nullptr;  // a high-resolution waitable timer, where there is one
  // How much sooner than a pause's end the timer is asked to wake the
  // thread: what it was late by, learnt over the pauses before.
  Nanos early{0};
  // The first pauses try both ways, the timer and Sleep under the 1 ms
  // system timer, and keep the one that overran its pauses the less.
  int pauses = 0;
  Nanos timerOverrun{0}, sleepOverrun{0};
  bool bySleep = false;
};

FineTimer* ThreadFineTimer();
void SetThreadFineTimer(FineTimer* timer);

}  // namespace wpl::win32
