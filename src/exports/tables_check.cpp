// The export tables against the header, as the library compiles: a row
// whose name the header does not declare is a row for nothing, and does not
// compile. (The other way round, an export without its row does not compile
// either: each export finds its row by name in a constant expression.) The
// settings, value queries and template exports are rows of these two tables.
#include "header_exports.h"
#include "link/lan_exports.h"
#include "link/serial_exports.h"

namespace wpl::exports {
namespace {

consteval bool Declared(std::string_view name) {
  for (std::string_view declared : kHeaderExports)
    if (declared == name) return true;
  return false;
}

template <typename Rows>
consteval bool EachDeclared(const Rows& rows) {
  for (const auto& row : rows)
    if (!Declared(row.name)) return false;
  return true;
}

static_assert(EachDeclared(link::kSerialExports), "a serial row names no export of the header");
static_assert(EachDeclared(link::kLanExports), "a network row names no export of the header");

}  // namespace
}  // namespace wpl::exports
