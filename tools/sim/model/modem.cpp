#include "modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/full_write.h"

namespace wpl::sim {
namespace {

constexpr uint8_t kCr = 0x0D, kLf = 0x0A, kBackspace = 0x08;
constexpr size_t kMaxCommandLine = 64;  // a longer line is answered ERROR

// Result codes: verbose text, numeric code.
constexpr int kOk = 0, kConnected = 1, kNoCarrier = 3, kError = 4, kBusy = 7;

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Where "AT" starts in a command line, or npos: modems skip what precedes it.
size_t FindAt(const std::string& line) {
  for (size_t i = 0; i + 1 < line.size(); ++i)
    if (Upper(line[i]) == 'A' && Upper(line[i + 1]) == 'T') return i;
  return std::string::npos;
}

// The digits a modem dials by: spaces, dashes and brackets are for people.
std::string DialDigits(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ' ' && c != '-' && c != '(' && c != ')') out += c;
  return out;
}

}  // namespace

ModemModel::ModemModel(ModemConfig config, std::vector<DialEntry> directory)
    : config_(config), directory_(std::move(directory)) {
  for (auto& entry : directory_) entry.number = DialDigits(entry.number);
  ResetSettings();
}

void ModemModel::ResetSettings() {
  echo_ = config_.echo;
  verbose_ = true;
  quiet_ = false;
  line_.clear();
  overflow_ = false;
}

bool ModemModel::Accepts(LineState line) const {
  return line.baud == config_.baud && line.stopBits == 1;
}

Nanos ModemModel::ByteTime() const {
  // The host's line to the modem is 8N1.
  return config_.pace ? LineTime(1, config_.baud, 1) : Nanos{0};
}

void ModemModel::Log(Nanos now, const std::string& text) const {
  if (log_) log_(now, text);
}

void ModemModel::Receive(std::span<const uint8_t> bytes, LineState line, Nanos now) {
  if (!Accepts(line)) {
    // Garbage on the line: the command being typed is lost.
    if (!terminal_) line_.clear();
    return;
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (terminal_) {
      ToTerminal(bytes.subspan(i), now);
      return;
    }
    OnCommandByte(bytes[i], now);
  }
}

void ModemModel::OnCommandByte(uint8_t b, Nanos now) {
  if (echo_) Queue(std::span(&b, 1), now);
  if (b == kCr) {
    const std::string line = std::move(line_);
    const bool overflow = overflow_;
    line_.clear();
    overflow_ = false;
    if (overflow) {
      Result(kError, "ERROR", now);
    } else {
      Execute(line, now);
    }
  } else if (b == kBackspace) {
    if (!line_.empty()) line_.pop_back();
  } else if (b != kLf) {
    if (line_.size() < kMaxCommandLine) {
      line_ += static_cast<char>(b);
    } else {
      overflow_ = true;
    }
  }
}

void ModemModel::Execute(const std::string& typed, Nanos now) {
  const size_t at = FindAt(typed);
  if (at == std::string::npos) return;  // not a command: no answer
  const std::string line = typed.substr(at);
  commands_.push_back(line);
  Log(now, "command " + line);
  bool ok = true;
  for (size_t i = 2; i < line.size() && ok;) {
    const char c = Upper(line[i++]);
    if (c == ' ') continue;
    if (c == 'D') {
      // The rest of the line is the number, after an optional T or P.
      if (i < line.size() && (Upper(line[i]) == 'T' || Upper(line[i]) == 'P')) ++i;
      Dial(line.substr(i), now);
      return;
    }
    int value = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
      value = std::min(value * 10 + (line[i++] - '0'), 255);
    switch (c) {
      case 'E': echo_ = value != 0; break;
      case 'V': verbose_ = value != 0; break;
      case 'Q': quiet_ = value != 0; break;
      case 'H': break;  // on hook already: there is no call in command mode
      case 'Z': ResetSettings(); break;
      default: ok = false; break;
    }
  }
  if (ok) {
    Result(kOk, "OK", now);
  } else {
    Result(kError, "ERROR", now);
  }
}

void ModemModel::Dial(const std::string& typed, Nanos now) {
  const std::string number = DialDigits(typed);
  const auto it = std::find_if(directory_.begin(), directory_.end(),
                               [&](const DialEntry& e) { return e.number == number; });
  DialResult result = it == directory_.end() ? DialResult::kNoCarrier : it->result;
  if (result == DialResult::kConnect && !it->terminal) result = DialResult::kNoCarrier;
  switch (result) {
    case DialResult::kConnect: {
      std::string text = "CONNECT";
      if (config_.connectSpeed) text += " " + std::to_string(config_.connectSpeed);
      Log(now, "dial " + number + ": " + text);
      Result(kConnected, text, now, config_.dialTime);
      // Data mode from here; the terminal hears nothing before the result.
      terminal_ = it->terminal;
      dialled_ = number;
      terminalCommands_ = terminal_->commands().size();
      ++connections_;
      return;
    }
    case DialResult::kNoCarrier:
      Log(now, "dial " + number + ": NO CARRIER");
      Result(kNoCarrier, "NO CARRIER", now, config_.dialTime);
      return;
    case DialResult::kBusy:
      Log(now, "dial " + number + ": BUSY");
      Result(kBusy, "BUSY", now, config_.dialTime);
      return;
    case DialResult::kSilent: Log(now, "dial " + number + ": no result"); return;
  }
}

void ModemModel::Result(int code, const std::string& text, Nanos now, Nanos delay) {
  if (quiet_) return;
  const std::string reply = verbose_ ? "\r\n" + text + "\r\n" : std::to_string(code) + "\r";
  Queue(std::span(reinterpret_cast<const uint8_t*>(reply.data()), reply.size()), now, delay);
}

void ModemModel::Queue(std::span<const uint8_t> bytes, Nanos now, Nanos delay) {
  Nanos t = std::max(now + delay, lastDue_);
  for (uint8_t b : bytes) {
    t += ByteTime();
    out_.push_back({t, b});
  }
  lastDue_ = t;
}

void ModemModel::ToTerminal(std::span<const uint8_t> bytes, Nanos now) {
  const auto& t = terminal_->config();
  terminal_->Receive(bytes, LineState{t.baud, t.stopBits}, now);
  const auto& heard = terminal_->commands();
  for (; terminalCommands_ < heard.size(); ++terminalCommands_) {
    char text[64];
    std::snprintf(text, sizeof text, "terminal %s: command 0x%02X", dialled_.c_str(),
                  heard[terminalCommands_]);
    Log(now, text);
  }
}

void ModemModel::PullFromTerminal(Nanos now) {
  if (!terminal_) return;
  for (auto due = terminal_->NextDue(); due && *due <= now; due = terminal_->NextDue()) {
    uint8_t b = 0;
    if (terminal_->Transmit(std::span(&b, 1), now) == 0) break;
    const Nanos t = std::max(*due, lastDue_) + ByteTime();
    out_.push_back({t, b});
    lastDue_ = t;
  }
}

size_t ModemModel::Transmit(std::span<uint8_t> out, Nanos now) {
  PullFromTerminal(now);
  size_t n = 0;
  while (n < out.size() && !out_.empty() && out_.front().due <= now) {
    out[n++] = out_.front().byte;
    out_.pop_front();
  }
  return n;
}

std::optional<Nanos> ModemModel::NextDue() const {
  if (!out_.empty()) return out_.front().due;
  if (terminal_) {
    if (auto due = terminal_->NextDue()) return std::max(*due, lastDue_) + ByteTime();
  }
  return std::nullopt;
}

void ModemModel::HostClosed(Nanos now) {
  ++dtrDrops_;
  if (terminal_) {
    Log(now, "DTR dropped: hang-up, call to " + dialled_ + " ended");
    terminal_->HostClosed(now);
    terminal_ = nullptr;
  } else {
    Log(now, "DTR dropped");
  }
  out_.clear();
  lastDue_ = now;
  ResetSettings();
}

}  // namespace wpl::sim
