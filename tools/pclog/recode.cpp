#include "recode.h"

#include <cerrno>

namespace pclog {

namespace {
const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
}

Recoder::Recoder(const std::string& to, const std::string& from) {
  if (to.empty() || from.empty()) return;
  cd_ = iconv_open(to.c_str(), from.c_str());
  if (cd_ == kNone) throw UnknownEncoding(to == "UTF-8" ? from : to);
}

Recoder::~Recoder() {
  if (cd_ != kNone) iconv_close(cd_);
}

std::optional<std::vector<uint8_t>> Recoder::operator()(const std::string& text,
                                                        bool cutEnd) const {
  if (cd_ == kNone) return std::vector<uint8_t>(text.begin(), text.end());
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  std::string in = text;
  // Four bytes out for each byte in is more than a conversion to or from
  // UTF-8 takes; the eight more hold a stateful code page's end sequence.
  std::vector<uint8_t> out(in.size() * 4 + 8);
  char* inp = in.data();
  size_t inLeft = in.size();
  auto* outp = reinterpret_cast<char*>(out.data());
  size_t outLeft = out.size();
  if (iconv(cd_, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) &&
      !(cutEnd && errno == EINVAL))
    return std::nullopt;
  if (iconv(cd_, nullptr, nullptr, &outp, &outLeft) == static_cast<size_t>(-1)) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace pclog
