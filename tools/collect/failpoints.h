// Named steps of a conversation where the collector can be made to fail or
// to die, for the tests that prove nothing is lost or doubled whatever
// instant it stops at. In a running site nothing is set and nothing happens.
//
//   PCLOG_COLLECT_CRASH=STEP   the process ends at once (_exit) at that step
//   PCLOG_COLLECT_FAIL=A,B     the named operations fail ("spool-write")
#pragma once
#include <functional>
#include <string>

namespace collect {

class Failpoints {
 public:
  // Passes the step `name` of a conversation with `terminal`.
  static void Step(const char* name, const std::string& terminal);
  static bool Fails(const char* name);
  // In-process tests: called at every step instead of the variable.
  static std::function<void(const char* step, const std::string& terminal)> hook;
};

}  // namespace collect
