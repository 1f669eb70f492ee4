#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// windows.h first: mmsystem.h builds on its types.
#include <mmsystem.h>

#include "platform/fine_sleeps.h"
#include "platform/win32/fine_timer.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace wpl {

// Windows 10 (1803) and later have high-resolution timers; older systems
// refuse the flag, and get the finest system timer period instead, whose
// every request is matched by its release.
FineSleeps::FineSleeps() : previousTimer_(win32::ThreadFineTimer()) {
  timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                  TIMER_ALL_ACCESS);
  if (timer_)
    win32::SetThreadFineTimer(timer_);
  else
    raised_ = timeBeginPeriod(1) == TIMERR_NOERROR;
}

FineSleeps::~FineSleeps() {
  if (timer_) {
    win32::SetThreadFineTimer(previousTimer_);
    CloseHandle(timer_);
  }
  if (raised_) timeEndPeriod(1);
}

}  // namespace wpl
