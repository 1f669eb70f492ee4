#include <filesystem>

#include "store_backend.h"
#include "virtual_env.h"

namespace collect::testing {
namespace {
std::string g_last;
}

std::string FreshStoreUrl() {
  static wpl::testing::TempDir dir;
  static int n = 0;
  g_last = "sqlite:" + dir.path() + "store" + std::to_string(++n) + ".db";
  return g_last;
}
std::string LastStoreUrl() { return g_last; }

}  // namespace collect::testing
