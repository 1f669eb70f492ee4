// The one progress display of pclog: a line per job on stderr, shared by
// jobs that run side by side (downloads from several terminals) or serving
// one job that counts its steps (the rows of a table file). Each download
// has an Ui of its own (BoardUi) whose progress window is its line; the
// lines share one display guarded by one mutex. On a terminal the lines are
// redrawn in place; otherwise only status changes and notes are written,
// one line each, so that logs stay readable.
#pragma once
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace pclog {

struct BoardShape {
  int barWidth = 25;
  // Above 0: each line counts this many steps and shows "done/steps" after
  // its percentage; 0: each line shows a percentage, no bar until the first.
  size_t steps = 0;
};

class ProgressBoard {
 public:
  // One line per label, in order. `live`: redraw the lines in place (stderr
  // is a terminal).
  ProgressBoard(std::vector<std::string> labels, bool live, std::FILE* out = stderr,
                BoardShape shape = {});
  ProgressBoard(const ProgressBoard&) = delete;
  ProgressBoard& operator=(const ProgressBoard&) = delete;

  void SetPosition(size_t row, int percent);
  // One more step of the row done (counting lines).
  void Step(size_t row);
  void SetStatus(size_t row, const std::string& text);
  // A message box of the library, shown as a line for the row's terminal.
  void Message(size_t row, const std::string& text, const std::string& title);
  // A line of its own above the board, which stays below it.
  void Note(const std::string& text);

 private:
  struct Row {
    std::string label;
    size_t done = 0;
    bool drawn = false;  // a bar is shown
    std::string status;
  };
  std::string Format(const Row& r) const;
  void Redraw(size_t row);  // with the mutex held

  std::mutex mutex_;
  std::vector<Row> rows_;
  size_t labelWidth_ = 0;
  bool live_;
  std::FILE* out_;
  BoardShape shape_;
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
