#include <memory>

#include "pg_server.h"
#include "store_backend.h"

namespace collect::testing {
namespace {
std::string g_last;
}

PgServer& Server() {
  static auto server = std::make_unique<PgServer>();
  return *server;
}

std::string FreshStoreUrl() {
  static int n = 0;
  g_last = Server().Database("store" + std::to_string(++n));
  return g_last;
}
std::string LastStoreUrl() { return g_last; }

}  // namespace collect::testing
