#include "link/network_basics.h"

#include "exports/boundary.h"
#include "exports/results.h"
#include "w_pclog.h"

using namespace wpl::exports;

WPL_EXPORT int32_t WPCLOG_CALL _LANDELETE(const char* ip) {
  return WithProcessEnv(
      1, [&](wpl::Env& env) { return DoneOrFailed(wpl::link::LanClearRecords(env, ip)); });
}
