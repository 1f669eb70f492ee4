// One progress line per download for downloads that run side by side. Each
// download has an Ui of its own (BoardUi) whose progress window is its line;
// the lines share one display on stderr, guarded by one mutex. On a terminal
// the lines are redrawn in place; otherwise only status changes and messages
// are written, one line each, so that logs stay readable.
#pragma once
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace pclog {

class ProgressBoard {
 public:
  // One line per label, in order. `live`: redraw the lines in place (stderr
  // is a terminal).
  ProgressBoard(std::vector<std::string> labels, bool live, std::FILE* out = stderr);
  ProgressBoard(const ProgressBoard&) = delete;
  ProgressBoard& operator=(const ProgressBoard&) = delete;

  void SetPosition(size_t row, int percent);
  void SetStatus(size_t row, const std::string& text);
  // A message box of the library, shown as a line for the row's terminal.
  void Message(size_t row, const std::string& text, const std::string& title);

 private:
  struct Row {
    std::string label;
    int percent = -1;  // -1: no bar yet
    std::string status;
  };
  std::string Format(const Row& r) const;
  void Redraw(size_t row);  // with the mutex held

  std::mutex mutex_;
  std::vector<Row> rows_;
  size_t labelWidth_ = 0;
  bool live_;
  std::FILE* out_;
};

// The Ui one download runs with: its progress window is line `row`.
class BoardUi : public wpl::Ui {
 public:
  BoardUi(ProgressBoard& board, size_t row) : board_(board), row_(row) {}
  void ShowMessage(const std::string& text, const std::string& title) override;
  std::unique_ptr<wpl::ProgressView> OpenProgress(wpl::ProgressKind kind) override;

 private:
  ProgressBoard& board_;
  size_t row_;
};

}  // namespace pclog
