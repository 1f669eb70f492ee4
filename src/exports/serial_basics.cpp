#include "exports/boundary.h"
#include "link/serial_basics.h"
#include "w_pclog.h"

using wpl::ProcessEnv;
using wpl::exports::Guarded;

WPL_EXPORT int32_t WPCLOG_CALL _DELETE(int32_t address, int32_t port) {
  return Guarded(1, [&] { return wpl::link::ClearRecords(ProcessEnv(), address, port); });
}

WPL_EXPORT int32_t WPCLOG_CALL _TESTCOM(int32_t address, int32_t port) {
  return Guarded(-1, [&] { return wpl::link::TestCom(ProcessEnv(), address, port); });
}
