#include <cstdio>

#include "platform/posix/posix_platform.h"

namespace wpl {

void ConsoleUi::ShowMessage(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

std::unique_ptr<ProgressView> ConsoleUi::OpenProgress(ProgressKind) { return nullptr; }

}  // namespace wpl
