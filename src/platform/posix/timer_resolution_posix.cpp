#include "platform/timer_resolution.h"

namespace wpl {

FineSleeps::FineSleeps() = default;
FineSleeps::~FineSleeps() = default;

}  // namespace wpl
