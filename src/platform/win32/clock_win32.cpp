#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>

#include "platform/deadline.h"
#include "platform/system.h"
#include "platform/win32/fine_timer.h"

namespace wpl {

// Not the C++ steady clock: this runtime builds it on the calendar clock.
Nanos MonotonicNow() {
  // The performance counter is monotonic and its frequency fixed at boot.
  static const int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<int64_t>(f.QuadPart);
  }();
  LARGE_INTEGER count{};
  QueryPerformanceCounter(&count);
  const int64_t ticks = count.QuadPart;
  // Split to keep ticks * 1e9 from overflowing.
  return Nanos{(ticks / frequency) * 1'000'000'000 +
               (ticks % frequency) * 1'000'000'000 / frequency};
}

namespace win32 {
namespace {
thread_local FineTimer* fineTimer = nullptr;
}  // namespace
FineTimer* ThreadFineTimer() { return fineTimer; }
void SetThreadFineTimer(FineTimer* timer) { fineTimer = timer; }
}  // namespace win32

namespace {

// The most a fine pause asks the timer to wake it early, and so the most it
// waits out on the clock: a pause of 1 ms keeps the processor at most this
// long.
constexpr Nanos kMostEarly = std::chrono::microseconds{600};

// The pauses each way tries before one is kept.
constexpr int kTrialPauses = 8;

// Waits on the high-resolution timer, asked to wake the thread as much
// sooner as it was late the times before.
void WaitOnTimer(win32::FineTimer& timer, Nanos start, Nanos duration) {
  const Nanos ask = duration - timer.early;
  if (ask <= Nanos{0}) return;
  // Relative due times are negative, in 100 ns units.
  LARGE_INTEGER due{};
  due.QuadPart = -static_cast<LONGLONG>(ask.count() / 100);
  if (!SetWaitableTimer(timer.handle, &due, 0, nullptr, nullptr, FALSE) ||
      WaitForSingleObject(timer.handle, INFINITE) != WAIT_OBJECT_0) {
    ::Sleep(static_cast<DWORD>(std::chrono::ceil<Millis>(ask).count()));
    return;
  }
  // Lateness varies from wake to wake: follow a later one at once and an
  // earlier one slowly, so that few pauses overrun their end.
  const Nanos late = MonotonicNow() - (start + ask);
  const Nanos step = late > timer.early ? (late - timer.early) / 2 : (late - timer.early) / 16;
  timer.early = std::clamp(timer.early + step, Nanos{0}, kMostEarly);
}

// A fine pause ends at its time, never before: after the timer (or Sleep)
// what is left is waited out on the clock. A pause of 1 ms then lasts about
// 1 ms, as long as one of the two ways wakes the thread about in time: the
// high-resolution timer on Windows, Sleep under the 1 ms system timer where
// the timer is slow (Wine serves it with two round trips to its server).
void FineSleep(win32::FineTimer& timer, Nanos duration) {
  const Nanos start = MonotonicNow();
  const Nanos end = start + duration;
  const int n = timer.pauses;
  const bool bySleep = !timer.handle || (n >= kTrialPauses && n < 2 * kTrialPauses) ||
                       (n >= 2 * kTrialPauses && timer.bySleep);
  if (bySleep)
    ::Sleep(static_cast<DWORD>(std::chrono::ceil<Millis>(duration).count()));
  else
    WaitOnTimer(timer, start, duration);
  while (MonotonicNow() < end) YieldProcessor();
  if (n < 2 * kTrialPauses) {
    (n < kTrialPauses ? timer.timerOverrun : timer.sleepOverrun) += MonotonicNow() - end;
    timer.pauses = n + 1;
    if (timer.pauses == 2 * kTrialPauses) timer.bySleep = timer.sleepOverrun < timer.timerOverrun;
  }
}

}  // namespace

void SystemClock::Sleep(Millis duration) {
  if (duration.count() <= 0) return;
  if (win32::FineTimer* timer = win32::ThreadFineTimer())
    FineSleep(*timer, duration);
  else
    ::Sleep(static_cast<DWORD>(duration.count()));
}

LocalTime SystemClock::Local() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace wpl
