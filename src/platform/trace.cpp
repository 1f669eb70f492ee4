#include "platform/trace.h"

#include <mutex>
#include <optional>

namespace wpl {
namespace {

constexpr size_t kBytesPerLine = 16;

std::string LineName(int number, const std::optional<LineConfig>& line) {
  std::string name = "com" + std::to_string(number);
  if (!line) return name + " ? 8N?";
  name += line->baud ? " " + std::to_string(*line->baud) : std::string(" ?");
  return name + " 8N" + std::to_string(line->stopBits);
}

std::string AddressName(Ipv4Address a, uint16_t port) {
  std::string s;
  for (uint8_t octet : a.octets) s += std::to_string(octet) + '.';
  s.back() = ':';
  return s + std::to_string(port);
}

class TracingSerialPort : public SerialPort {
 public:
  TracingSerialPort(std::unique_ptr<SerialPort> inner, int number, TraceLog& log)
      : inner_(std::move(inner)), number_(number), log_(log) {}
  ~TracingSerialPort() override { log_.Event(Name(), "closed"); }

  bool Configure(const LineConfig& config) override {
    LineConfig applied = config;
    if (!applied.baud && line_) applied.baud = line_->baud;
    line_ = applied;
    const bool ok = inner_->Configure(config);
    log_.Event(Name(), ok ? "configured" : "configure failed (the port is used as it is)");
    return ok;
  }
  size_t Write(std::span<const uint8_t> bytes) override {
    const size_t n = inner_->Write(bytes);
    log_.Bytes(Name(), '>', bytes.first(n));
    if (n < bytes.size())
      log_.Event(Name(), "write failed after " + std::to_string(n) + " of " +
                             std::to_string(bytes.size()) + " bytes");
    return n;
  }
  size_t Read(std::span<uint8_t> out) override {
    // Empty reads are the line's idle polls: only bytes are worth a line.
    const size_t n = inner_->Read(out);
    if (n > 0) log_.Bytes(Name(), '<', std::span<const uint8_t>(out.data(), n));
    return n;
  }
  bool Lost() const override {
    const bool lost = inner_->Lost();
    if (lost && !lostTraced_) {
      lostTraced_ = true;
      log_.Event(Name(), "device lost");
    }
    return lost;
  }

 private:
  std::string Name() const { return LineName(number_, line_); }
  std::unique_ptr<SerialPort> inner_;
  int number_;
  TraceLog& log_;
  std::optional<LineConfig> line_;
  mutable bool lostTraced_ = false;
};

class TracingSocket : public Socket {
 public:
  TracingSocket(std::unique_ptr<Socket> inner, TraceLog& log)
      : inner_(std::move(inner)), log_(log) {}
  ~TracingSocket() override { log_.Event(name_, "closed"); }

  bool Connect(Ipv4Address address, uint16_t port, Millis limit) override {
    name_ = AddressName(address, port);
    const bool ok = inner_->Connect(address, port, limit);
    log_.Event(name_, ok ? "connected" : "connect failed");
    return ok;
  }
  int64_t Send(std::span<const uint8_t> bytes) override {
    const int64_t n = inner_->Send(bytes);
    if (n > 0) log_.Bytes(name_, '>', bytes.first(static_cast<size_t>(n)));
    if (n < static_cast<int64_t>(bytes.size()))
      log_.Event(name_, "send took " + std::to_string(n) + " of " + std::to_string(bytes.size()) +
                            " bytes");
    return n;
  }
  ReceiveResult Receive(std::span<uint8_t> out, Millis limit) override {
    const ReceiveResult r = inner_->Receive(out, limit);
    switch (r.status) {
      case ReceiveStatus::kBytes:
        log_.Bytes(name_, '<', std::span<const uint8_t>(out.data(), r.count));
        break;
      case ReceiveStatus::kClosed: log_.Event(name_, "closed by the terminal"); break;
      case ReceiveStatus::kError: log_.Event(name_, "receive failed"); break;
      case ReceiveStatus::kTimedOut:
        log_.Event(name_, "nothing within " + std::to_string(limit.count()) + " ms");
        break;
    }
    return r;
  }

 private:
  std::unique_ptr<Socket> inner_;
  TraceLog& log_;
  std::string name_ = "socket";
};

}  // namespace

TraceLog::TraceLog(std::FILE* out, bool owned, Clock& clock)
    : out_(out), owned_(owned), clock_(clock), origin_(clock.Now()) {
  const LocalTime t = clock.Local();
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "trace started %04d-%02d-%02d %02d:%02d:%02d", t.year, t.month,
                t.day, t.hour, t.minute, t.second);
  Event("w_pclog", stamp);
}

TraceLog::~TraceLog() {
  if (owned_) std::fclose(out_);
}

std::unique_ptr<TraceLog> TraceLog::Open(const std::string& path, bool append, Clock& clock) {
  if (path == "-") return std::make_unique<TraceLog>(stderr, false, clock);
  std::FILE* f = std::fopen(path.c_str(), append ? "ab" : "wb");
  if (!f) return nullptr;
  return std::make_unique<TraceLog>(f, true, clock);
}

void TraceLog::Write(const std::string& text) {
  std::lock_guard<Mutex> lock(mutex_);
  if (failed_) return;
  // Flushed line by line: a trace is most wanted from a call that never ends.
  if (std::fwrite(text.data(), 1, text.size(), out_) != text.size() || std::fflush(out_) != 0)
    failed_ = true;
}

void TraceLog::Event(std::string_view where, std::string_view what) {
  const double seconds = std::chrono::duration<double>(clock_.Now() - origin_).count();
  char time[32];
  std::snprintf(time, sizeof time, "%12.6f ", seconds);
  Write(std::string(time).append(where).append(" ").append(what).append("\n"));
}

void TraceLog::Bytes(std::string_view where, char direction, std::span<const uint8_t> bytes) {
  const double seconds = std::chrono::duration<double>(clock_.Now() - origin_).count();
  char time[32];
  std::snprintf(time, sizeof time, "%12.6f ", seconds);
  std::string text;
  for (size_t at = 0; at < bytes.size(); at += kBytesPerLine) {
    const auto part = bytes.subspan(at, std::min(kBytesPerLine, bytes.size() - at));
    std::string hex, ascii;
    for (uint8_t b : part) {
      char h[4];
      std::snprintf(h, sizeof h, "%02X ", b);
      hex += h;
      ascii += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    }
    hex.resize(kBytesPerLine * 3, ' ');
    text.append(time).append(where).append(1, ' ').append(1, direction).append(1, ' ');
    text.append(hex).append(1, ' ').append(ascii).append("\n");
  }
  Write(text);
}

std::unique_ptr<SerialPort> TracingSerialPorts::Open(int number) {
  auto port = inner_.Open(number);
  if (!port) {
    log_.Event("com" + std::to_string(number), "not opened (absent or held)");
    return nullptr;
  }
  log_.Event("com" + std::to_string(number), "open");
  return std::make_unique<TracingSerialPort>(std::move(port), number, log_);
}

std::unique_ptr<Socket> TracingSockets::Create() {
  auto socket = inner_.Create();
  if (!socket) {
    log_.Event("socket", "not created");
    return nullptr;
  }
  return std::make_unique<TracingSocket>(std::move(socket), log_);
}

void ApplyTraceVariable(Env& env, const char* path) {
  if (!path || !*path) return;
  auto log = TraceLog::Open(path, true, *env.clock);
  if (!log) return;  // an unwritable trace file leaves the call untraced
  auto trace = std::make_shared<WireTrace>(std::move(log), *env.serial, *env.sockets);
  trace->Apply(env);
  env.owned = std::move(trace);
}

}  // namespace wpl
