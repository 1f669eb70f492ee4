#include "link/serial_basics.h"

#include "exports/boundary.h"
#include "exports/results.h"
#include "w_pclog.h"

using namespace wpl::exports;

WPL_EXPORT int32_t WPCLOG_CALL _DELETE(int32_t address, int32_t port) {
  return WithProcessEnv(
      1, [&](wpl::Env& env) { return DoneOrFailed(wpl::link::ClearRecords(env, address, port)); });
}

WPL_EXPORT int32_t WPCLOG_CALL _TESTCOM(int32_t address, int32_t port) {
  return WithProcessEnv(
      -1, [&](wpl::Env& env) { return PortOrNone(wpl::link::TestCom(env, address, port)); });
}
