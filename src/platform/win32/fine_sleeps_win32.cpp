#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// windows.h first: mmsystem.h builds on its types.
#include <mmsystem.h>

#include "platform/fine_sleeps.h"

namespace wpl {

// The system timer runs at the finest period any program asked for; each
// request is matched by its release.
FineSleeps::FineSleeps() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineSleeps::~FineSleeps() {
  if (raised_) timeEndPeriod(1);
}

}  // namespace wpl
