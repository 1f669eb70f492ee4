// In-process TCP: sockets whose far ends are terminal models in network mode,
// in virtual time. Every call the code under test makes is recorded with its
// time, so tests assert the exact shape of what crossed the wire: the bytes
// and the count of each send, the pauses between them, what each receive
// asked for.
#pragma once
#include <map>
#include <memory>
#include <vector>

#include "network_session.h"
#include "platform/socket.h"
#include "terminal_model.h"

namespace wpl::testing {

class FakeClock;

enum class SocketCall { kStartup, kCreate, kConnect, kRefused, kSend, kReceive, kClose };

struct SocketEvent {
  SocketCall call;
  Nanos at;
  std::vector<uint8_t> bytes;                    // kSend: what was sent; kReceive: what arrived
  size_t asked = 0;                              // kReceive: the room the receive offered
  ReceiveStatus status = ReceiveStatus::kBytes;  // kReceive
};

class VirtualSockets : public Sockets {
 public:
  explicit VirtualSockets(FakeClock& clock) : clock_(clock) {}

  // A terminal listening on port 1024 of `address`; the model stays owned by
  // the caller and persists across connections. Unattached addresses refuse.
  void Attach(Ipv4Address address, sim::TerminalModel* model, sim::NetworkFaults faults = {});
  // An address where nothing answers the SYN (or whose listen queue is
  // full): a connect to it waits out its limit and fails.
  void Unanswered(Ipv4Address address) { unanswered_.push_back(address); }
  void FailStartup(bool fail = true) { failStartup_ = fail; }
  void FailCreate(bool fail = true) { failCreate_ = fail; }
  // Every send reports -1 (the connection broke under the host).
  void FailSends(bool fail = true) { failSends_ = fail; }

  bool Startup() override;
  std::unique_ptr<Socket> Create() override;

  const std::vector<SocketEvent>& events() const { return events_; }
  size_t Count(SocketCall call) const;
  // The bytes of each send, in order.
  std::vector<std::vector<uint8_t>> Sends() const;
  // All bytes sent, in order.
  std::vector<uint8_t> SentBytes() const;
  // Sockets created and not yet closed.
  int openSockets() const { return openSockets_; }

 private:
  friend class VirtualSocket;
  struct Listener {
    sim::TerminalModel* model = nullptr;
    sim::NetworkFaults faults;
  };
  void Record(SocketEvent e) { events_.push_back(std::move(e)); }

  FakeClock& clock_;
  std::map<Ipv4Address, Listener> listeners_;
  std::vector<Ipv4Address> unanswered_;
  std::vector<SocketEvent> events_;
  bool failStartup_ = false;
  bool failCreate_ = false;
  bool failSends_ = false;
  int openSockets_ = 0;
};

}  // namespace wpl::testing
