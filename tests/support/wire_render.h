// What the host sent, written out for comparison with the byte examples:
// "15 | +10 | 01 02 FD": bytes of one write (or send) together, writes apart
// by " | ", "+N" a pause of N ms between them.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "virtual_env.h"

namespace wpl::testing {

struct Piece {
  Nanos at;
  std::vector<uint8_t> bytes;
};

inline std::string Render(const std::vector<Piece>& pieces, Nanos from) {
  std::string out;
  auto token = [&](const std::string& t) { out += (out.empty() ? "" : " | ") + t; };
  for (const Piece& p : pieces) {
    if (p.at > from) token("+" + std::to_string(duration_cast<Millis>(p.at - from).count()));
    std::string hex;
    for (uint8_t b : p.bytes) {
      char h[4];
      std::snprintf(h, sizeof h, "%s%02X", hex.empty() ? "" : " ", b);
      hex += h;
    }
    if (!p.bytes.empty()) token(hex);
    from = p.at;
  }
  return out;
}

// The host's writes on the serial lines, or its sends on the network.
inline std::vector<Piece> HostPieces(const VirtualEnv& v, bool network) {
  std::vector<Piece> pieces;
  if (network) {
    for (const auto& e : v.sockets.events())
      if (e.call == SocketCall::kSend) pieces.push_back({e.at, e.bytes});
  } else {
    for (const auto& c : v.serial.wire())
      if (c.fromHost) pieces.push_back({c.at, c.bytes});
  }
  return pieces;
}

// What the host sent after the command frame (one send, or five writes on
// the line), timed from the frame.
inline std::string AfterFrame(const VirtualEnv& v, bool network) {
  const std::vector<Piece> pieces = HostPieces(v, network);
  const size_t frame = network ? 1 : 5;
  if (pieces.size() < frame) return "no frame";
  return Render({pieces.begin() + static_cast<ptrdiff_t>(frame), pieces.end()},
                pieces[frame - 1].at);
}

}  // namespace wpl::testing
