// A wire trace: every byte a call sends and receives, with a monotonic time,
// the port and its line settings or the network address, in hex with the
// ASCII beside it. It is a layer around the platform's serial ports and
// sockets, so the protocol code neither knows nor pays for it: with no trace
// asked for, nothing is wrapped.
//
//     0.000012 com3 57600 8N1 open
//     0.000050 com3 57600 8N1 > 4B 4F 52 56 41 4E 45 4D 5A 54 01 FE 01 FE  KORVANEMZT....
//     0.004101 com3 57600 8N1 < 06                                            .
#pragma once
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "platform/mutex.h"

namespace wpl {

// The lines of one trace, written to a file the log owns or to a stream it
// was given (stderr). Times count from the log's creation on `clock`. Lines
// from several threads do not mix. A write that fails ends the trace; the
// call it watches goes on.
class TraceLog {
 public:
  TraceLog(std::FILE* out, bool owned, Clock& clock);
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // Opens `path` ("-" for stderr), appending when `append`; nullptr when it
  // cannot be opened.
  static std::unique_ptr<TraceLog> Open(const std::string& path, bool append, Clock& clock);

  // One event on `where`: "open", "closed", "timed out after 10000 ms"...
  void Event(std::string_view where, std::string_view what);
  // Bytes sent ('>') or received ('<'), 16 to a line.
  void Bytes(std::string_view where, char direction, std::span<const uint8_t> bytes);
  bool failed() const { return failed_; }

 private:
  void Write(const std::string& text);
  std::FILE* out_;
  bool owned_;
  Clock& clock_;
  Nanos origin_;
  Mutex mutex_;
  bool failed_ = false;
};

// Serial ports whose every open, setting, write and read goes to a trace.
class TracingSerialPorts : public SerialPorts {
 public:
  TracingSerialPorts(SerialPorts& inner, TraceLog& log) : inner_(inner), log_(log) {}
  std::unique_ptr<SerialPort> Open(int number) override;

 private:
  SerialPorts& inner_;
  TraceLog& log_;
};

// Sockets whose every connect, send and receive goes to a trace.
class TracingSockets : public Sockets {
 public:
  TracingSockets(Sockets& inner, TraceLog& log) : inner_(inner), log_(log) {}
  bool Startup() override { return inner_.Startup(); }
  std::unique_ptr<Socket> Create() override;

 private:
  Sockets& inner_;
  TraceLog& log_;
};

// A trace around an Env's serial ports and sockets. While it lives, the Env
// it was applied to talks through it.
class WireTrace {
 public:
  WireTrace(std::unique_ptr<TraceLog> log, SerialPorts& serial, Sockets& sockets)
      : log_(std::move(log)), serial_(serial, *log_), sockets_(sockets, *log_) {}
  // Points `env` at the tracing layer (the services it wraps stay as they were).
  void Apply(Env& env) {
    env.serial = &serial_;
    env.sockets = &sockets_;
  }
  TraceLog& log() { return *log_; }

 private:
  std::unique_ptr<TraceLog> log_;
  TracingSerialPorts serial_;
  TracingSockets sockets_;
};

// W_PCLOG_TRACE=FILE: the library traces every call of the process into FILE
// (appending; "-" is stderr). Applied by ProcessEnv() at every call; with the
// variable unset or empty it changes nothing. The trace belongs to the call:
// `env` holds it, and the file is closed when the call's Env goes, so no file
// stays open between calls (on Windows an open file would keep every other
// program from it). Each call's trace starts with its own stamped line.
void ApplyTraceVariable(Env& env, const char* path);

}  // namespace wpl
