#include "network_session.h"

#include <algorithm>

namespace wpl::sim {
namespace {

// A network connection has no line speed.
constexpr LineState kNetworkLine{0, 1};

}  // namespace

NetworkSession::NetworkSession(TerminalModel& model, NetworkFaults faults, Nanos now)
    : model_(model),
      faults_(std::move(faults)),
      greeting_(faults_.greeting.begin(), faults_.greeting.end()),
      greetingDue_(now) {
  // Whatever an earlier connection left queued is not for this one.
  model_.DropOutput();
  CountSent(0);
}

NetworkSession::~NetworkSession() { model_.DropOutput(); }

void NetworkSession::Receive(std::span<const uint8_t> bytes, Nanos now) {
  if (hungUp_) return;
  const size_t framesBefore = model_.commands().size();
  model_.Receive(bytes, kNetworkLine, now);
  if (faults_.closeAfterFrame && model_.commands().size() != framesBefore) {
    model_.DropOutput();
    hungUp_ = true;
  }
}

size_t NetworkSession::Transmit(std::span<uint8_t> out, Nanos now) {
  if (hungUp_) return 0;
  if (faults_.closeAfterSent)
    out = out.first(std::min(out.size(), *faults_.closeAfterSent - sent_));
  size_t n = 0;
  while (n < out.size() && !greeting_.empty() && greetingDue_ <= now) {
    out[n++] = greeting_.front();
    greeting_.pop_front();
  }
  if (greeting_.empty()) n += model_.Transmit(out.subspan(n), now);
  CountSent(n);
  return n;
}

std::optional<Nanos> NetworkSession::NextDue() const {
  if (hungUp_) return std::nullopt;
  if (!greeting_.empty()) return greetingDue_;
  return model_.NextDue();
}

void NetworkSession::CountSent(size_t n) {
  sent_ += n;
  if (faults_.closeAfterSent && sent_ >= *faults_.closeAfterSent) hungUp_ = true;
}

}  // namespace wpl::sim
