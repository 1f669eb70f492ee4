// Texts between UTF-8 and a terminal's code page, through iconv.
#pragma once
#include <iconv.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pclog {

class Recoder {
 public:
  // Empty `to` or `from`: the bytes pass as they are. An encoding iconv does
  // not know throws UnknownEncoding naming it.
  Recoder(const std::string& to, const std::string& from);
  ~Recoder();
  Recoder(const Recoder&) = delete;
  Recoder& operator=(const Recoder&) = delete;

  struct UnknownEncoding : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
  };

  // Empty when a character has no place in the target code page. `cutEnd`:
  // the text may end inside a character (a name cut at 8 bytes), which is
  // left out.
  std::optional<std::vector<uint8_t>> operator()(const std::string& text,
                                                 bool cutEnd = false) const;

 private:
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

}  // namespace pclog
