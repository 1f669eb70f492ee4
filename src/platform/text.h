// The system's texts that are not plain ASCII are kept in two encodings: the
// code page 936 (GBK) bytes that a Windows message box shows, and UTF-8 for a
// console line elsewhere. Each platform picks its own.
#pragma once
#include <string_view>

namespace wpl {

struct SystemText {
  std::string_view gbk;
  std::string_view utf8;
};

std::string_view ForThisSystem(const SystemText& text);

}  // namespace wpl
