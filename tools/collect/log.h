// The collector's log: one line per event on stderr, "TIME TERMINAL TEXT".
#pragma once
#include <string>

namespace collect {

void Log(const std::string& terminal, const std::string& text);

}  // namespace collect
