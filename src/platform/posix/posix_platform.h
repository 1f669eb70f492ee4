// The POSIX implementations of the platform interfaces.
#pragma once
#include <string>

#include "platform/env.h"

namespace wpl {

class SystemClock : public Clock {
 public:
  Nanos Now() override;
  void Sleep(Millis duration) override;
  LocalTime Local() override;
};

// Port N is the device named by W_PCLOG_COM<N>, else /dev/ttyS<N-1>.
class PosixSerialPorts : public SerialPorts {
 public:
  std::unique_ptr<SerialPort> Open(int number) override;
  static std::string DevicePath(int number);
};

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<File> OpenRead(const std::string& path) override;
  std::unique_ptr<File> OpenReadWrite(const std::string& path) override;
  std::unique_ptr<File> Create(const std::string& path) override;
  std::unique_ptr<File> CreateNew(const std::string& path) override;
  bool Exists(const std::string& path) override;
  bool IsDirectory(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  bool CopyNoOverwrite(const std::string& from, const std::string& to) override;
  bool RenameNoOverwrite(const std::string& from, const std::string& to) override;
  bool Replace(const std::string& from, const std::string& to) override;
  char Separator() const override { return '/'; }
};

// Messages go to stderr as one line; progress is drawn on stderr when it is a
// terminal.
class ConsoleUi : public Ui {
 public:
  void ShowMessage(const std::string& text, const std::string& title) override;
  std::unique_ptr<ProgressView> OpenProgress(ProgressKind kind) override;
};

}  // namespace wpl
