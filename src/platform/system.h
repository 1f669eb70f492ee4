// The platform's own services, declared once: each half (posix/, win32/)
// defines what differs between the systems and nothing else. The common core
// (env.cpp, deadline.h) builds the process environment and every wait on
// top of them.
#pragma once
#include <string>

#include "platform/env.h"

namespace wpl {

// The steady clock for elapsed times (Now is common to both halves), the
// system's sleep and its local calendar time.
class SystemClock : public Clock {
 public:
  Nanos Now() override;
  void Sleep(Millis duration) override;
  LocalTime Local() override;
};

// Port N: on Windows the device "com" + the character 48 + N (com1 ..
// com9); elsewhere the device named by W_PCLOG_COM<N>, else /dev/ttyS<N-1>.
class SystemSerialPorts : public SerialPorts {
 public:
  std::unique_ptr<SerialPort> Open(int number) override;
};

class SystemFileSystem : public FileSystem {
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
  char Separator() const override;
};

// Windows: modal message boxes and the two modeless progress windows.
// Elsewhere: a message is one line on stderr, progress is drawn on stderr
// when it is a terminal.
class SystemUi : public Ui {
 public:
  void ShowMessage(const std::string& text, const std::string& title) override;
  std::unique_ptr<ProgressView> OpenProgress(ProgressKind kind) override;
};

// The process's environment variable `name`, empty when it is not set. On
// Windows the process's own block, where a host's SetEnvironmentVariable
// puts it (the C runtime's copy would miss it).
std::string EnvironmentVariable(const char* name);

// The folder of the running program, ending with a separator; empty when
// the system does not say.
std::string ProgramDirectory();

}  // namespace wpl
