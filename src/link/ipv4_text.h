// The terminal's address as the host passes it: zero-terminated dotted-decimal
// text. The system's own converter turns text it cannot read into
// 255.255.255.255, the broadcast address, so the text is read here instead,
// strictly, and anything that is not a plain unicast IPv4 address is refused
// before any socket exists.
#pragma once
#include <optional>

#include "platform/socket.h"

namespace wpl::link {

// Exactly four decimal parts of 1 to 3 digits, each 0..255, separated by
// single dots, nothing before or after. Hosts that pad their addresses send
// "192.168.001.010": a part with leading zeros is read as decimal (what the
// person who typed it means), never as octal as some converters do.
// 255.255.255.255 (broadcast) and 0.0.0.0 (no address) are refused, and so is
// a null pointer. Never reads past the terminating zero, nor further than 16
// characters.
std::optional<Ipv4Address> ParseIpv4(const char* text);

}  // namespace wpl::link
