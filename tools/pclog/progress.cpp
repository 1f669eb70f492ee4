#include "progress.h"

#include <algorithm>

namespace pclog {
namespace {

// A download's progress window, drawn as its line of the board.
class BoardLine : public wpl::ProgressView {
 public:
  BoardLine(ProgressBoard& board, size_t row) : board_(board), row_(row) {
    board_.SetPosition(row_, 0);
  }
  void SetPosition(int percent) override { board_.SetPosition(row_, percent); }
  void SetStatus(const std::string& text) override { board_.SetStatus(row_, text); }
  void Repaint() override {}  // every change is drawn as it is made

 private:
  ProgressBoard& board_;
  size_t row_;
};

}  // namespace

ProgressBoard::ProgressBoard(std::vector<std::string> labels, bool live, std::FILE* out,
                             BoardShape shape)
    : live_(live), out_(out), shape_(shape) {
  for (auto& label : labels) {
    labelWidth_ = std::max(labelWidth_, label.size());
    rows_.push_back({std::move(label), 0, shape_.steps > 0, {}});
  }
  if (!live_) return;
  // The lines are drawn once; from then on the cursor stays below the last.
  for (const Row& r : rows_) std::fprintf(out_, "%s\n", Format(r).c_str());
  std::fflush(out_);
}

std::string ProgressBoard::Format(const Row& r) const {
  std::string line = r.label + std::string(labelWidth_ - r.label.size(), ' ');
  if (r.drawn) {
    const size_t of = shape_.steps > 0 ? shape_.steps : 100;
    const size_t done = std::min(r.done, of);
    const size_t width = static_cast<size_t>(shape_.barWidth);
    const size_t filled = done * width / of;
    char tail[64];
    if (shape_.steps > 0)
      std::snprintf(tail, sizeof tail, "] %3zu%% %zu/%zu", done * 100 / of, done, of);
    else
      std::snprintf(tail, sizeof tail, "] %3zu%%", done);
    line += (line.empty() ? "[" : " [") + std::string(filled, '#') +
            std::string(width - filled, '.') + tail;
  }
  if (!r.status.empty()) line += " " + r.status;
  return line;
}

void ProgressBoard::Redraw(size_t row) {
  if (!live_) return;
  // Up to the row's line, rewrite it, back down below the board.
  const size_t up = rows_.size() - row;
  std::fprintf(out_, "\033[%zuA\r%s\033[K\033[%zuB\r", up, Format(rows_[row]).c_str(), up);
  std::fflush(out_);
}

void ProgressBoard::SetPosition(size_t row, int percent) {
  const auto done = static_cast<size_t>(std::clamp(percent, 0, 100));
  std::lock_guard lock(mutex_);
  Row& r = rows_[row];
  if (r.drawn && r.done == done) return;
  r.done = done;
  r.drawn = true;
  Redraw(row);
}

void ProgressBoard::Step(size_t row) {
  std::lock_guard lock(mutex_);
  ++rows_[row].done;
  rows_[row].drawn = true;
  Redraw(row);
}

void ProgressBoard::SetStatus(size_t row, const std::string& text) {
  std::lock_guard lock(mutex_);
  Row& r = rows_[row];
  if (r.status == text) return;
  r.status = text;
  if (live_) {
    Redraw(row);
  } else {
    std::fprintf(out_, "%s: %s\n", r.label.c_str(), text.c_str());
    std::fflush(out_);
  }
}

void ProgressBoard::Message(size_t row, const std::string& text, const std::string& title) {
  // In the terminal's own line when the board is live: a line of its own
  // would scroll the board.
  SetStatus(row, title + ": " + text);
}

void ProgressBoard::Note(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (!live_ || rows_.empty()) {
    std::fprintf(out_, "%s\n", text.c_str());
  } else {
    // The note takes the board's first line and the board is drawn again
    // one line lower.
    std::fprintf(out_, "\033[%zuA\r%s\033[K\n", rows_.size(), text.c_str());
    for (const Row& r : rows_) std::fprintf(out_, "%s\033[K\n", Format(r).c_str());
  }
  std::fflush(out_);
}

void BoardUi::ShowMessage(const std::string& text, const std::string& title) {
  board_.Message(row_, text, title);
}

std::unique_ptr<wpl::ProgressView> BoardUi::OpenProgress(wpl::ProgressKind) {
  return std::make_unique<BoardLine>(board_, row_);
}

}  // namespace pclog
