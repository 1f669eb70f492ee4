#include <timeapi.h>
#include <windows.h>

#include "platform/timer_resolution.h"

namespace wpl {

FineSleeps::FineSleeps() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
FineSleeps::~FineSleeps() {
  if (raised_) timeEndPeriod(1);
}

}  // namespace wpl
