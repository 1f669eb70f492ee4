// What crossed a virtual line or connection, written as the protocol's byte
// examples are: "15 | +10 | 01 02 FD": the bytes of one write (or send)
// together, writes apart by " | ", "+N" a pause of N ms between them.
#pragma once
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "link/block_plan.h"
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
    if (p.at > from)
      token("+" + std::to_string(std::chrono::duration_cast<Millis>(p.at - from).count()));
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

inline std::string Render(const link::BlockPlan& plan) {
  std::vector<Piece> pieces;
  Nanos t{0};
  for (const auto& s : plan.steps) {
    t += s.pause;
    const auto b = plan.BytesOf(s);
    pieces.push_back({t, {b.begin(), b.end()}});
  }
  return Render(pieces, Nanos{0});
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

// What the host wrote after the first command frame: on the
// line a frame is five writes, on a connection one send.
inline std::string AfterFrame(const VirtualEnv& v, bool network) {
  const std::vector<Piece> pieces = HostPieces(v, network);
  const size_t frame = network ? 1 : 5;
  if (pieces.size() < frame) return "no frame";
  const Nanos from = pieces[frame - 1].at;
  return Render({pieces.begin() + static_cast<ptrdiff_t>(frame), pieces.end()}, from);
}

}  // namespace wpl::testing
