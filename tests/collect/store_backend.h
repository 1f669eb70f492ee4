// The store the store tests run against: SQLite in one test program, a real
// PostgreSQL server in the other. Each call gives a fresh, empty store.
#pragma once
#include <string>

namespace collect::testing {

std::string FreshStoreUrl();
// The same store again (another connection), for reopening.
std::string LastStoreUrl();

}  // namespace collect::testing
