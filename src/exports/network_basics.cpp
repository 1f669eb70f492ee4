#include "link/network_basics.h"

#include "exports/boundary.h"
#include "w_pclog.h"

using wpl::exports::WithProcessEnv;

WPL_EXPORT int32_t WPCLOG_CALL _LANDELETE(const char* ip) {
  return WithProcessEnv(1, [&](wpl::Env& env) { return wpl::link::LanClearRecords(env, ip); });
}
