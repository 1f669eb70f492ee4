#include "virtual_sockets.h"

#include <algorithm>

#include "virtual_env.h"

namespace wpl::testing {

class VirtualSocket : public Socket {
 public:
  explicit VirtualSocket(VirtualSockets& owner) : owner_(owner) { ++owner_.openSockets_; }
  ~VirtualSocket() override {
    session_.reset();
    --owner_.openSockets_;
    owner_.Record({SocketCall::kClose, Now(), {}});
  }

  bool Connect(Ipv4Address address, uint16_t port, Millis limit) override {
    if (std::ranges::find(owner_.unanswered_, address) != owner_.unanswered_.end()) {
      owner_.clock_.Advance(limit);
      owner_.Record({SocketCall::kRefused, Now(), {}});
      return false;
    }
    auto it = owner_.listeners_.find(address);
    if (port != 1024 || it == owner_.listeners_.end() || session_) {
      owner_.Record({SocketCall::kRefused, Now(), {}});
      return false;
    }
    owner_.Record({SocketCall::kConnect, Now(), {}});
    session_ = std::make_unique<sim::NetworkSession>(*it->second.model, it->second.faults, Now());
    return true;
  }

  int64_t Send(std::span<const uint8_t> bytes) override {
    owner_.Record({SocketCall::kSend, Now(), {bytes.begin(), bytes.end()}});
    if (owner_.failSends_ || !session_) return -1;
    session_->Receive(bytes, Now());
    return static_cast<int64_t>(bytes.size());
  }

  ReceiveResult Receive(std::span<uint8_t> out, Millis limit) override {
    ReceiveResult r = Wait(out, limit);
    owner_.Record(
        {SocketCall::kReceive, Now(), {out.begin(), out.begin() + r.count}, out.size(), r.status});
    return r;
  }

 private:
  Nanos Now() const { return owner_.clock_.Now(); }

  // Like poll() then recv(): what is due now; else the terminal's next byte if
  // it falls due within the limit; else the whole limit passes.
  ReceiveResult Wait(std::span<uint8_t> out, Millis limit) {
    if (!session_) return {ReceiveStatus::kError, 0};
    if (out.empty()) return {ReceiveStatus::kBytes, 0};
    if (size_t n = session_->Transmit(out, Now())) return {ReceiveStatus::kBytes, n};
    if (session_->HungUp()) return {ReceiveStatus::kClosed, 0};
    const auto due = session_->NextDue();
    if (!due || *due - Now() > limit) {
      owner_.clock_.Advance(limit);
      return {ReceiveStatus::kTimedOut, 0};
    }
    owner_.clock_.Advance(std::max(*due - Now(), Nanos{0}));
    return {ReceiveStatus::kBytes, session_->Transmit(out, Now())};
  }

  VirtualSockets& owner_;
  std::unique_ptr<sim::NetworkSession> session_;
};

void VirtualSockets::Attach(Ipv4Address address, sim::TerminalModel* model,
                            sim::NetworkFaults faults) {
  listeners_[address] = {model, std::move(faults)};
}

bool VirtualSockets::Startup() {
  Record({SocketCall::kStartup, clock_.Now(), {}});
  return !failStartup_;
}

std::unique_ptr<Socket> VirtualSockets::Create() {
  Record({SocketCall::kCreate, clock_.Now(), {}});
  if (failCreate_) return nullptr;
  return std::make_unique<VirtualSocket>(*this);
}

size_t VirtualSockets::Count(SocketCall call) const {
  return static_cast<size_t>(std::count_if(events_.begin(), events_.end(),
                                           [&](const SocketEvent& e) { return e.call == call; }));
}

std::vector<std::vector<uint8_t>> VirtualSockets::Sends() const {
  std::vector<std::vector<uint8_t>> sends;
  for (const auto& e : events_)
    if (e.call == SocketCall::kSend) sends.push_back(e.bytes);
  return sends;
}

std::vector<uint8_t> VirtualSockets::SentBytes() const {
  std::vector<uint8_t> all;
  for (const auto& e : events_)
    if (e.call == SocketCall::kSend) all.insert(all.end(), e.bytes.begin(), e.bytes.end());
  return all;
}

}  // namespace wpl::testing
