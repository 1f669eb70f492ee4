#include "link/network_basics.h"

namespace wpl::link {

LanResult LanClearRecords(Env& env, const char* ip) {
  static constexpr const LanExport& kRow = LanRow("_LANDELETE");
  return RunLanCommand(env, ip, kRow);
}

}  // namespace wpl::link
