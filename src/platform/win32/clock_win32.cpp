#define WIN32_LEAN_AND_MEAN
#include <windows.h>

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
thread_local void* fineTimer = nullptr;
}  // namespace
void* ThreadFineTimer() { return fineTimer; }
void SetThreadFineTimer(void* timer) { fineTimer = timer; }
}  // namespace win32

void SystemClock::Sleep(Millis duration) {
  if (duration.count() <= 0) return;
  if (HANDLE timer = win32::ThreadFineTimer()) {
    // Relative due times are negative, in 100 ns units.
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(duration.count()) * 10'000;
    if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
        WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0)
      return;
  }
  ::Sleep(static_cast<DWORD>(duration.count()));
}

LocalTime SystemClock::Local() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace wpl
