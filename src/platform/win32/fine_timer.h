// The high-resolution timer a FineSleeps gives its thread, which the
// system clock's Sleep waits on while it stands. A plain handle per thread:
// nothing with a destructor is kept per thread in the library, whose code a
// host may unload while its threads live on.
#pragma once

namespace wpl::win32 {

void* ThreadFineTimer();
void SetThreadFineTimer(void* timer);

}  // namespace wpl::win32
