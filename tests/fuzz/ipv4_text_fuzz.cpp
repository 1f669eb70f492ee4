// The IP text comes from the host as it is: any bytes up to a zero must be
// read without running past it, and nothing that is not a plain unicast
// address may come out.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/ipv4_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // adds the zero
  const auto address = wpl::link::ParseIpv4(text.c_str());
  if (!address) return 0;
  // What was accepted prints back to the text it came from, once the
  // padding zeros of each part are left out.
  const auto& o = address->octets;
  char again[16];
  std::snprintf(again, sizeof again, "%u.%u.%u.%u", o[0], o[1], o[2], o[3]);
  std::string unpadded;
  const std::string given = text.c_str();
  for (size_t i = 0; i < given.size(); ++i) {
    const bool partStart = i == 0 || given[i - 1] == '.';
    const bool lastDigit = i + 1 == given.size() || given[i + 1] == '.';
    if (given[i] == '0' && !lastDigit && (partStart || unpadded.empty() || unpadded.back() == '.'))
      continue;
    unpadded += given[i];
  }
  if (unpadded != std::string(again)) std::abort();
  return 0;
}
