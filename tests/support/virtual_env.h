// In-process serial lines whose far ends are terminal models, in virtual
// time.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "terminal_model.h"
#include "virtual_clock.h"
#include "virtual_sockets.h"

namespace wpl::testing {

// One chunk of bytes that crossed a virtual line.
struct WireChunk {
  Nanos at;
  int port;
  sim::LineState line;
  bool fromHost;
  std::vector<uint8_t> bytes;
};

class VirtualSerialPorts : public SerialPorts {
 public:
  explicit VirtualSerialPorts(FakeClock& clock) : clock_(clock) {}

  // Puts a terminal (or a modem) on port `number`. The peer stays owned by
  // the caller.
  void Attach(int number, sim::LinePeer* peer) { lines_[number].model = peer; }
  // An absent port fails to open.
  void SetAbsent(int number, bool absent = true) { lines_[number].absent = absent; }

  std::unique_ptr<SerialPort> Open(int number) override;

  // Every open that succeeded, with the line settings of its first Configure.
  struct OpenRecord {
    Nanos at;
    int port;
    sim::LineState line;
  };
  const std::vector<OpenRecord>& opens() const { return opens_; }
  // When each port was closed, in order.
  struct CloseRecord {
    Nanos at;
    int port;
  };
  const std::vector<CloseRecord>& closes() const { return closes_; }
  int openAttempts() const { return openAttempts_; }
  const std::vector<WireChunk>& wire() const { return wire_; }
  // All bytes the host wrote to a port, in order.
  std::vector<uint8_t> HostBytes(int number) const;
  // Number of host writes to a port (a frame is five writes).
  size_t HostWrites(int number) const;

 private:
  friend class VirtualSerialPort;
  struct Line {
    sim::LinePeer* model = nullptr;
    bool absent = false;
    bool open = false;
  };
  FakeClock& clock_;
  std::map<int, Line> lines_;
  std::vector<OpenRecord> opens_;
  std::vector<CloseRecord> closes_;
  std::vector<WireChunk> wire_;
  int openAttempts_ = 0;
};

// Keeps the messages instead of showing them, and the progress positions.
class RecordingUi : public Ui {
 public:
  struct Message {
    std::string text, title;
  };
  void ShowMessage(const std::string& text, const std::string& title) override {
    messages.push_back({text, title});
  }
  std::unique_ptr<ProgressView> OpenProgress(ProgressKind kind) override;

  std::vector<Message> messages;
  std::vector<int> positions;       // every SetPosition, across windows
  std::vector<std::string> status;  // every SetStatus
  int windowsOpened = 0;
  int windowsOpen = 0;
};

// A fresh folder under the system's temporary folder, removed with its
// contents on destruction. path() ends with '/'.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// An Env over virtual time, virtual ports and sockets, with real files in a fresh
// temporary data folder.
struct VirtualEnv {
  VirtualEnv();
  // The files of the data folder.
  std::string Path(const std::string& name) const { return dir.path() + name; }
  // The whole file; empty when it cannot be read.
  std::vector<uint8_t> File(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Writes the file, making the folders on its way.
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) const;

  FakeClock clock;
  VirtualSerialPorts serial{clock};
  VirtualSockets sockets{clock};
  std::unique_ptr<FileSystem> files;
  RecordingUi ui;
  TempDir dir;
  Env env;
};

}  // namespace wpl::testing
