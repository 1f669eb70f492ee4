#include "link/network_basics.h"

#include "exports/boundary.h"
#include "w_pclog.h"

using wpl::ProcessEnv;
using wpl::exports::Guarded;

WPL_EXPORT int32_t WPCLOG_CALL _LANDELETE(const char* ip) {
  return Guarded(1, [&] { return wpl::link::LanClearRecords(ProcessEnv(), ip); });
}
