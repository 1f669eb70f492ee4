#include "platform/text.h"

namespace wpl {

std::string_view ForThisSystem(const SystemText& text) { return text.utf8; }

}  // namespace wpl
