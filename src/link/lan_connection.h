// The network command exchange: one TCP connection to port 1024 of a
// terminal for one export call. The host sends the 14-byte command frame with
// the network address byte 0xFA, judges the reply by its first byte, sends the
// export's parameter block in the export's shape and pacing, and closes. There
// are no repeats and no scan: one connection, one frame, one verdict.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/lan_exports.h"
#include "platform/env.h"
#include "platform/fine_sleeps.h"

namespace wpl::link {

constexpr uint16_t kTerminalPort = 1024;
// Every network frame carries this address byte, except the addressed
// download, whose host chooses it.
constexpr uint8_t kNetworkAddress = 0xFA;
// The send and the receive buffer of a connection.
constexpr size_t kLanBufferSize = 2048;

// What the network downloads show in their progress window.
namespace lan_text {
constexpr std::string_view kStartupFailed = "Winsock error";
constexpr std::string_view kSocketFailed = "Error:creat socket fail!";
constexpr std::string_view kConnectFailed = "connect fail";
constexpr std::string_view kSendFailed = "send data fail";
}  // namespace lan_text

enum class LanOpen {
  kOk,
  kBadAddress,     // the IP text is not a unicast dotted-decimal address
  kStartupFailed,  // the socket library did not start
  kSocketFailed,   // no socket
  kConnectFailed,  // refused, unreachable, or not standing within the connect limit
};

// The progress text for an outcome of Open: "connect " + IP + " success" when
// the connection stands. An address that cannot be read shows as a failed
// connection, which is what it amounts to.
std::string LanOpenText(LanOpen outcome, const char* ip);

enum class LanReceive {
  kDone,      // at least the bytes asked for are in the buffer
  kClosed,    // the terminal closed the connection
  kError,     // the connection failed, or more was asked than the buffer holds
  kTimedOut,  // silence for longer than the export's limit
};

class LanConnection {
 public:
  LanConnection(Env& env, const LanExport& row);
  // Closes without pauses when Close was not called (an exception unwinding).
  ~LanConnection();
  LanConnection(const LanConnection&) = delete;
  LanConnection& operator=(const LanConnection&) = delete;

  // Opening pause, start-up, socket, connect to port 1024; on success the two
  // zero-filled buffers. An unreadable IP text fails before anything else,
  // with no pause and no socket (a row that pauses on every path still takes
  // its closing pause in Close).
  LanOpen Open(const char* ip);

  // Copies the bytes into the send buffer and makes one send of exactly that
  // count: the send's result, -1 on failure. More than the buffer holds is
  // refused (-1) without sending.
  int64_t SendBytes(std::span<const uint8_t> bytes);
  int64_t SendByte(uint8_t byte) { return SendBytes(std::span(&byte, 1)); }
  // The 14-byte frame in one send; false when the send failed.
  bool SendFrame(uint8_t command, uint8_t address = kNetworkAddress);

  // A new reply: the fill count goes back to 0.
  void StartReply() { filled_ = 0; }
  // Receives at the fill position until at least `count` bytes are in the
  // receive buffer. Each receive asks for the room left in the buffer and
  // waits at most the export's silence limit.
  LanReceive ReceiveUntil(size_t count);
  // What the current reply holds so far.
  std::span<const uint8_t> received() const { return {receive_.data(), filled_}; }
  // A new reply of at least one byte whose first byte is ACK; further bytes of
  // the same reply are ignored.
  bool AwaitAck();

  // The parameter block of the payload in the given shape with the export's
  // pauses around its 0x15; std::length_error for a payload too long for a
  // block. Planned before the connection is opened, so such a payload is
  // refused without traffic, as on the serial side.
  BlockPlan PlanFor(std::span<const uint8_t> payload, BlockShape shape) const;
  // Replays a planned block: its pauses, and a send for each piece. The
  // sends' results are not examined (the reply tells). A plan with pauses
  // shorter than the system's timer step takes a FineSleeps for the rest of
  // the connection.
  void SendPlan(const BlockPlan& plan);

  // Frees the buffers and closes the socket with the export's closing pauses
  // for the path taken; `success` adds the pause after success.
  void Close(bool success);

  Env& env() { return env_; }
  bool fineSleeps() const { return fine_.held(); }
  const LanExport& row() const { return row_; }
  void Pause(Millis pause);

 private:
  // kBadAddress: a text that is no address, which the system would have
  // taken to a connect doomed to fail; kRefused: no text at all.
  enum class Stage {
    kIdle,
    kRefused,
    kBadAddress,
    kStartupFailed,
    kSocketFailed,
    kConnectFailed,
    kConnected
  };

  // Taken from the start when the row's own pauses need it; first in, last
  // out, so that it covers the closing pauses.
  FineSleepsWhen fine_;
  Env& env_;
  const LanExport& row_;
  Stage stage_ = Stage::kIdle;
  std::unique_ptr<Socket> socket_;
  std::vector<uint8_t> send_;
  std::vector<uint8_t> receive_;
  size_t filled_ = 0;
  bool closed_ = false;
};

enum class LanOutcome {
  kNoConnection,  // no address, no socket, or no connection within the limit
  kRefused,       // connected, but a send failed or an ACK did not come
  kDone,          // acknowledged (a frame alone: sent)
};

struct LanResult {
  LanOutcome outcome = LanOutcome::kNoConnection;
  constexpr bool done() const { return outcome == LanOutcome::kDone; }
};

// The whole conversation of an export whose row is kFrameOnly or kCommand:
// open, frame, ACK, block and second ACK where the row has one, the hold,
// close.
LanResult RunLanCommand(Env& env, const char* ip, const LanExport& row,
                        std::span<const uint8_t> payload = {});

}  // namespace wpl::link
