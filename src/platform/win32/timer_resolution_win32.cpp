#include <windows.h>

#include "platform/timer_resolution.h"
// After windows.h, whose types it uses.
#include <timeapi.h>

namespace wpl {

FineSleeps::FineSleeps() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
FineSleeps::~FineSleeps() {
  if (raised_) timeEndPeriod(1);
}

}  // namespace wpl
