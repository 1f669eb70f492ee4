#include "platform/text.h"

namespace wpl {

// MessageBoxA shows the bytes in the system's code page: GBK.
std::string_view ForThisSystem(const SystemText& text) { return text.gbk; }

}  // namespace wpl
