#include "platform/fine_sleeps.h"

namespace wpl {

// nanosleep already keeps to about 0.1 ms here.
FineSleeps::FineSleeps() = default;
FineSleeps::~FineSleeps() = default;

}  // namespace wpl
