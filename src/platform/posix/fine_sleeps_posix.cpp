#include "platform/fine_sleeps.h"

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace wpl {

#ifdef __linux__
FineSleeps::FineSleeps() {
  const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  if (slack < 0) return;
  previousSlack_ = static_cast<unsigned long>(slack);
  raised_ = ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0) == 0;
}

FineSleeps::~FineSleeps() {
  if (raised_) ::prctl(PR_SET_TIMERSLACK, previousSlack_, 0, 0, 0);
}
#else
FineSleeps::FineSleeps() = default;
FineSleeps::~FineSleeps() = default;
#endif

}  // namespace wpl
