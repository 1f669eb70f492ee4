#include "log.h"

#include <cstdio>
#include <mutex>

#include "record_fields.h"

namespace collect {

void Log(const std::string& terminal, const std::string& text) {
  static std::mutex mutex;
  const std::string line =
      UtcText(NowUtc()) + " " + (terminal.empty() ? "-" : terminal) + " " + text + "\n";
  std::lock_guard lock(mutex);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace collect
