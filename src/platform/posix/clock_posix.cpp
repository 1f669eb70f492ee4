#include <ctime>
#include <thread>

#include "platform/deadline.h"
#include "platform/system.h"

namespace wpl {

Nanos MonotonicNow() {
  return std::chrono::duration_cast<Nanos>(std::chrono::steady_clock::now().time_since_epoch());
}

void SystemClock::Sleep(Millis duration) {
  if (duration.count() > 0) std::this_thread::sleep_for(duration);
}

LocalTime SystemClock::Local() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace wpl
