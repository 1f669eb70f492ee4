// The Win32 implementations of the platform interfaces.
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

// Port N is the device "com" + the character 48 + N: com1 .. com9.
class Win32SerialPorts : public SerialPorts {
 public:
  std::unique_ptr<SerialPort> Open(int number) override;
};

class Win32FileSystem : public FileSystem {
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
  char Separator() const override { return '\\'; }
};

// Modal message boxes and the two modeless progress windows.
class WindowsUi : public Ui {
 public:
  void ShowMessage(const std::string& text, const std::string& title) override;
  std::unique_ptr<ProgressView> OpenProgress(ProgressKind kind) override;
};

}  // namespace wpl
