// The transfer of fingerprint templates behind `pclog fp copy`, `export`
// and `import`: each template is brought into a staging folder of its own
// (the library's FINGERREC layout) and placed from there, so nothing on the
// host is overwritten unless asked. Bringing the next template overlaps with
// placing the last one wherever the terminals sit on ports of their own.
#pragma once
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fingerprint/templates.h"
#include "platform/env.h"
#include "progress.h"

namespace pclog::fp {

using wpl::fingerprint::TemplateId;

// What ends a transfer before its first template: the reason.
struct TransferError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A terminal on the command line: PORT, or ADDRESS@PORT.
struct Terminal {
  int address = 1, port = 1;
  std::string text;
};

// The library's messages, kept for the report instead of shown.
class KeptUi : public wpl::Ui {
 public:
  void ShowMessage(const std::string& text, const std::string&) override { last = text; }
  std::unique_ptr<wpl::ProgressView> OpenProgress(wpl::ProgressKind) override { return nullptr; }
  std::string last;
};

// A fresh folder for one run; its FINGERREC is where the library reads and
// writes. Removed with its contents at the end.
class Staging {
 public:
  explicit Staging(const wpl::Env& env);
  ~Staging();
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;
  // An Env for one thread: the same services and folder, a Ui of its own.
  wpl::Env For(KeptUi& ui) const;
  std::string Path(const std::string& name) const;
  wpl::Env& env() { return env_; }

 private:
  wpl::Env env_;
  KeptUi ui_;
  std::string dir_;
};

std::string FileOf(const TemplateId& id);
// The entries of an ID list file.
std::vector<TemplateId> ReadIdList(const std::string& path);
// The templates a terminal holds, through its ID list.
std::vector<TemplateId> ListTerminal(Staging& s, const Terminal& t);
// Two templates of one user and number differ only by attribute, which the
// file name does not hold: the first one is taken, the others reported on
// `out`.
std::vector<TemplateId> OnePerFile(const std::vector<TemplateId>& ids, std::FILE* out);
// Whether no two terminals share a port (a bus carries one at a time).
bool DistinctPorts(const std::vector<Terminal>& terminals);

struct Step {
  bool ok = false;
  std::string note;
  double seconds = 0;
};

// Brings template `id` into the staging folder, or places it from there.
using Action = std::function<Step(const TemplateId&)>;

Action FetchFrom(const Staging& s, const Terminal& from);
Action SendTo(const Staging& s, const Terminal& to);
std::vector<Action> SendsTo(const Staging& s, const std::vector<Terminal>& to);
// Copies a template file of a folder into the staging folder.
Action TakeFrom(const Staging& s, const std::string& folder);
// Copies a fetched template into a folder; an existing file is kept unless
// `force`.
Action PlaceIn(const Staging& s, const std::string& folder, bool force);

// Brings each template and places it everywhere: the places side by side,
// and the next template brought meanwhile, when `sideBySide`; otherwise one
// step at a time. A line per template and a summary go to `out`, timed on
// `clock`; the board's first line counts the templates. 0: every template
// went everywhere, else 1.
int Transfer(const std::vector<TemplateId>& ids, const Action& bring,
             const std::vector<Action>& places, bool sideBySide, ProgressBoard& board,
             wpl::Clock& clock, std::FILE* out = stdout);

}  // namespace pclog::fp
