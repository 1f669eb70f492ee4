#include "link/ipv4_text.h"

namespace wpl::link {

std::optional<Ipv4Address> ParseIpv4(const char* text) {
  if (!text) return std::nullopt;
  Ipv4Address address;
  const char* p = text;
  for (size_t part = 0; part < address.octets.size(); ++part) {
    if (part > 0 && *p++ != '.') return std::nullopt;
    int value = 0, digits = 0;
    for (; digits < 3 && *p >= '0' && *p <= '9'; ++p, ++digits) value = value * 10 + (*p - '0');
    // Leading zeros are padding ("192.168.001.010"): the part is read as
    // decimal, never as octal, which would reach another terminal.
    if (digits == 0 || value > 255) return std::nullopt;
    address.octets[part] = static_cast<uint8_t>(value);
  }
  if (*p != '\0') return std::nullopt;
  if (address == Ipv4Address{{255, 255, 255, 255}} || address == Ipv4Address{{0, 0, 0, 0}})
    return std::nullopt;
  return address;
}

}  // namespace wpl::link
