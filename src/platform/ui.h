// What the user sees: modal messages and the download progress windows.
#pragma once
#include <memory>
#include <string>

namespace wpl {

enum class ProgressKind {
  kSerial,   // "Down loading": serial and modem downloads
  kNetwork,  // "LAN DOWNLOAD": network downloads, with a status edit box
};

class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void SetPosition(int percent) = 0;  // 0..100
  virtual void SetStatus(const std::string& text) = 0;
  virtual void Repaint() = 0;
};

class Ui {
 public:
  virtual ~Ui() = default;
  // Modal on Windows (OK button); one line on stderr elsewhere, never blocking.
  virtual void ShowMessage(const std::string& text, const std::string& title) = 0;
  // nullptr when no window can be made; the caller goes on without one.
  virtual std::unique_ptr<ProgressView> OpenProgress(ProgressKind kind) = 0;
};

}  // namespace wpl
