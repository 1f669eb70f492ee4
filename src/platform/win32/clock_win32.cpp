#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace wpl {

Nanos SystemClock::Now() {
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

void SystemClock::Sleep(Millis duration) {
  if (duration.count() > 0) ::Sleep(static_cast<DWORD>(duration.count()));
}

LocalTime SystemClock::Local() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace wpl
