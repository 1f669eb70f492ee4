#include "link/network_basics.h"

#include "link/lan_connection.h"

namespace wpl::link {

int32_t LanClearRecords(Env& env, const char* ip) {
  static constexpr const LanExport& kRow = LanRow("_LANDELETE");
  return DoneOrFailed(RunLanCommand(env, ip, kRow));
}

}  // namespace wpl::link
