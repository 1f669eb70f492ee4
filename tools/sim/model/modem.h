// A dial-up modem on the host's serial line, with terminals behind it. In
// command mode it answers AT commands (echo, verbose or numeric results,
// quiet); a dial looks the number up in its directory and ends in CONNECT
// with a speed, NO CARRIER, BUSY or nothing at all. Once connected it passes
// bytes both ways between the host and the terminal dialled, sending to the
// host no faster than its line carries them. When the host closes its port
// (DTR drops) it hangs up and returns to command mode.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "line_peer.h"
#include "terminal_model.h"

namespace wpl::sim {

enum class DialResult {
  kConnect,    // "CONNECT <speed>", then data mode with the terminal
  kNoCarrier,  // "NO CARRIER"
  kBusy,       // "BUSY"
  kSilent,     // no result at all; the modem is back in command mode
};

struct DialEntry {
  std::string number;
  DialResult result = DialResult::kConnect;
  TerminalModel* terminal = nullptr;  // the terminal a connection reaches
};

struct ModemConfig {
  uint32_t baud = 9600;           // the host's line, 8N1
  bool echo = false;              // echo of commands at power-on and after a hang-up
  uint32_t connectSpeed = 14400;  // in "CONNECT 14400"; 0 for a plain "CONNECT"
  Millis dialTime{200};           // from the dial to its result
  bool pace = true;               // no faster than the host's line carries bytes
};

class ModemModel : public LinePeer {
 public:
  ModemModel(ModemConfig config, std::vector<DialEntry> directory);

  void Receive(std::span<const uint8_t> bytes, LineState line, Nanos now) override;
  size_t Transmit(std::span<uint8_t> out, Nanos now) override;
  std::optional<Nanos> NextDue() const override;
  bool Accepts(LineState line) const override;
  void HostClosed(Nanos now) override;

  // The command lines heard in command mode, in order ("AT E0", "AT DT555").
  const std::vector<std::string>& commands() const { return commands_; }
  bool connected() const { return terminal_ != nullptr; }
  int connections() const { return connections_; }
  // Times the host closed its port.
  int dtrDrops() const { return dtrDrops_; }
  // Called with a line of text for every command, dial, frame a connected
  // terminal heard, and DTR drop.
  using LogSink = std::function<void(Nanos now, const std::string& text)>;
  void SetLog(LogSink log) { log_ = std::move(log); }

 private:
  struct Pending {
    Nanos due;
    uint8_t byte;
  };
  void OnCommandByte(uint8_t b, Nanos now);
  void Execute(const std::string& line, Nanos now);
  void Dial(const std::string& number, Nanos now);
  void Result(int code, const std::string& text, Nanos now, Nanos delay = Nanos{0});
  void Queue(std::span<const uint8_t> bytes, Nanos now, Nanos delay = Nanos{0});
  void PullFromTerminal(Nanos now);
  void ToTerminal(std::span<const uint8_t> bytes, Nanos now);
  void ResetSettings();
  void Log(Nanos now, const std::string& text) const;
  Nanos ByteTime() const;

  ModemConfig config_;
  std::vector<DialEntry> directory_;
  // Command mode: settings, the line being typed.
  bool echo_ = false, verbose_ = true, quiet_ = false;
  std::string line_;
  bool overflow_ = false;
  TerminalModel* terminal_ = nullptr;  // data mode while set
  std::string dialled_;
  size_t terminalCommands_ = 0;  // of the terminal's commands, those logged
  std::deque<Pending> out_;
  Nanos lastDue_{0};
  std::vector<std::string> commands_;
  int connections_ = 0, dtrDrops_ = 0;
  LogSink log_;
};

}  // namespace wpl::sim
