// One conversation with one terminal, through the library's own subsystem
// functions: the block download (serial, network or modem) into memory, the
// clearing on the same link, and the real-time fetch. None of them clears
// on its own: the collector clears only once the records are committed.
#pragma once
#include <string>
#include <vector>

#include "config.h"
#include "platform/env.h"
#include "record_fields.h"

namespace collect {

struct Downloaded {
  bool complete = false;  // complete and verified
  std::vector<Raw> records;
  int port = 0;                // serial: where the terminal answered
  std::string error;           // in words, when not complete
  double protocolSeconds = 0;  // from the header to the end packet
};

// Every record the terminal holds; never clears.
Downloaded DownloadRecords(wpl::Env& env, const TerminalConfig& t);

// Clears the terminal on the link the download used (`port`: where a serial
// terminal answered). The network clear awaits no reply: true then says the
// command went out, not that the terminal obeyed; the next download tells.
bool ClearTerminal(wpl::Env& env, const TerminalConfig& t, int port, std::string& error);

enum class LiveOutcome { kRecord, kNone, kFailed };
struct Live {
  LiveOutcome outcome = LiveOutcome::kFailed;
  Raw record{};
};
Live FetchLive(wpl::Env& env, const TerminalConfig& t);

// A Ui that shows nothing: the library's messages become log lines.
class QuietUi : public wpl::Ui {
 public:
  explicit QuietUi(std::string terminal) : terminal_(std::move(terminal)) {}
  void ShowMessage(const std::string& text, const std::string& title) override;
  std::unique_ptr<wpl::ProgressView> OpenProgress(wpl::ProgressKind) override { return nullptr; }

 private:
  std::string terminal_;
};

}  // namespace collect
