#include <unistd.h>

#include <cstdio>

#include "platform/system.h"

namespace wpl {
namespace {

// One line on stderr, redrawn in place: a bar, the percentage, the status.
class ConsoleProgress : public ProgressView {
 public:
  explicit ConsoleProgress(ProgressKind kind)
      : title_(kind == ProgressKind::kSerial ? "Down loading" : "LAN DOWNLOAD") {
    Draw();
  }
  ~ConsoleProgress() override { std::fputc('\n', stderr); }

  void SetPosition(int percent) override {
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    if (percent == percent_) return;
    percent_ = percent;
    Draw();
  }
  void SetStatus(const std::string& text) override {
    status_ = text;
    Draw();
  }
  void Repaint() override { Draw(); }

 private:
  void Draw() {
    constexpr int kWidth = 40;
    char bar[kWidth + 1];
    const int filled = percent_ * kWidth / 100;
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r%s [%s] %3d%% %s\033[K", title_, bar, percent_, status_.c_str());
    std::fflush(stderr);
  }

  const char* title_;
  int percent_ = 0;
  std::string status_;
};

}  // namespace

void SystemUi::ShowMessage(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

std::unique_ptr<ProgressView> SystemUi::OpenProgress(ProgressKind kind) {
  // Only a person at a terminal wants a bar; logs and pipes get nothing.
  if (!::isatty(STDERR_FILENO)) return nullptr;
  return std::make_unique<ConsoleProgress>(kind);
}

}  // namespace wpl
