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

// The finest system timer period (each request matched by its release), and
// a high-resolution timer where the system has one: Windows 10 (1803) and
// later; older systems refuse the flag and pause with Sleep alone.
FineSleeps::FineSleeps()
    : raised_(timeBeginPeriod(1) == TIMERR_NOERROR), previousTimer_(win32::ThreadFineTimer()) {
  auto* timer = new win32::FineTimer;
  timer->handle = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                         TIMER_ALL_ACCESS);
  timer_ = timer;
  win32::SetThreadFineTimer(timer);
}

FineSleeps::~FineSleeps() {
  auto* timer = static_cast<win32::FineTimer*>(timer_);
  win32::SetThreadFineTimer(static_cast<win32::FineTimer*>(previousTimer_));
  if (timer->handle) CloseHandle(timer->handle);
  delete timer;
  if (raised_) timeEndPeriod(1);
}

}  // namespace wpl
