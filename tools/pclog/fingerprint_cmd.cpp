// pclog fp: the fingerprint exports one by one, and what people do with
// them: copy the templates of one terminal into others, or keep them in a
// folder and load them back. Each template goes through a staging folder
// of its own (the library's FINGERREC layout), so nothing on the host is
// overwritten unless --force says so.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "fingerprint/module_link.h"
#include "fingerprint/templates.h"
#include "progress_board.h"
#include "records/backup.h"

namespace pclog {
namespace {

namespace fs = std::filesystem;
using wpl::fingerprint::TemplateId;
using Clock = std::chrono::steady_clock;

// Ends the command with a reason on stderr and exit status 1.
[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "pclog fp: %s\n", why.c_str());
  Finish(1);
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// --- The exports one by one ---------------------------------------------------

struct FpArgs {
  SerialTarget target;
  int user = 0, attribute = 0, number = 1;
  int command = 0;
  std::vector<int> params;
};

enum Needs : unsigned { kTerminal = 1, kModulePort = 2, kTemplate = 4, kAttribute = 8, kRaw = 16 };

struct FpCommand {
  const char* name;
  const char* help;
  unsigned needs;
  std::optional<uint8_t> (*run)(wpl::Env&, const FpArgs&);
};

const FpCommand kFpCommands[] = {
    {"version", "The module's version (_GETFDAVER), on the port directly", kModulePort,
     [](wpl::Env& env, const FpArgs& a) {
       return wpl::fingerprint::ModuleCommand(env, a.target.port,
                                              wpl::fingerprint::module_cmd::kVersion, {});
     }},
    {"raw", "Any module command with four 16-bit parameters (_FDATXDATA)", kModulePort | kRaw,
     [](wpl::Env& env, const FpArgs& a) {
       wpl::fingerprint::ModuleParams p{};
       for (size_t i = 0; i < p.size() && i < a.params.size(); ++i)
         p[i] = static_cast<uint16_t>(a.params[i]);
       return wpl::fingerprint::ModuleCommand(env, a.target.port, static_cast<uint8_t>(a.command),
                                              p);
     }},
    {"list", "The templates the terminal holds, into FINGERREC/IDLIST.TXT (_GETIDLIST)", kTerminal,
     [](wpl::Env& env, const FpArgs& a) {
       return wpl::fingerprint::GetIdList(env, a.target.address, a.target.port);
     }},
    {"get", "One template into FINGERREC/FPnnnn_k.TXT (_GETIDFPREC)",
     kTerminal | kTemplate | kAttribute,
     [](wpl::Env& env, const FpArgs& a) {
       return wpl::fingerprint::GetTemplate(env, a.target.address, a.target.port, a.user,
                                            a.attribute, a.number);
     }},
    {"send", "One template from FINGERREC/FPnnnn_k.TXT (_SENDIDFPREC)", kTerminal | kTemplate,
     [](wpl::Env& env, const FpArgs& a) {
       return wpl::fingerprint::SendTemplate(env, a.target.address, a.target.port, a.user,
                                             a.number);
     }},
    {"delete", "Delete one template (_DELIDFPREC)", kTerminal | kTemplate | kAttribute,
     [](wpl::Env& env, const FpArgs& a) {
       return wpl::fingerprint::DeleteTemplate(env, a.target.address, a.target.port, a.user,
                                               a.attribute, a.number);
     }},
    {"delete-all", "Delete every template (_DELIDFPALL)", kTerminal,
     [](wpl::Env& env, const FpArgs& a) {
       return wpl::fingerprint::DeleteAllTemplates(env, a.target.address, a.target.port);
     }},
};

void AddFpCommand(CLI::App* fp, wpl::Env& env, const FpCommand& c) {
  auto* sub = fp->add_subcommand(c.name, c.help);
  auto args = std::make_shared<FpArgs>();
  if (c.needs & kTerminal) {
    sub->add_option("--address", args->target.address, "Terminal address")
        ->check(CLI::Range(0, 255))
        ->capture_default_str();
    sub->add_option("--port", args->target.port, "Port the scan starts from (1..6)")
        ->check(CLI::Range(1, 6))
        ->capture_default_str();
  }
  if (c.needs & kModulePort)
    sub->add_option("--port", args->target.port, "Port of the module (1..6), then the next ones")
        ->check(CLI::Range(1, 6))
        ->capture_default_str();
  if (c.needs & kTemplate) {
    sub->add_option("--user", args->user, "User ID (0..2047)")
        ->check(CLI::Range(0, 2047))
        ->required();
    sub->add_option("--number", args->number, "Template number (1 or 2)")
        ->check(CLI::Range(1, 2))
        ->capture_default_str();
  }
  if (c.needs & kAttribute)
    sub->add_option("--attribute", args->attribute, "Attribute (0..15)")
        ->check(CLI::Range(0, 15))
        ->capture_default_str();
  if (c.needs & kRaw) {
    sub->add_option("command", args->command, "Module command code")
        ->check(CLI::Range(0, 255))
        ->required();
    sub->add_option("params", args->params, "Up to four 16-bit parameters")
        ->check(CLI::Range(0, 65535))
        ->expected(0, 4);
  }
  const FpCommand* command = &c;
  sub->callback([command, args, &env] {
    const int32_t result = wpl::fingerprint::StatusOr255(command->run(env, *args));
    std::printf("%s: status %d%s\n", command->name, result,
                result == 255 ? " (failed, or the module's own 255)" : "");
    if (std::string_view(command->name) == "list" && result != 255) {
      std::ifstream list(wpl::fingerprint::FingerPath(env, wpl::fingerprint::kIdListFile));
      for (std::string line; std::getline(list, line);) std::printf("%s\n", line.c_str());
    }
    Finish(result);
  });
}

// --- Copying templates ----------------------------------------------------------

// A terminal on the command line: PORT, or ADDRESS@PORT.
struct Terminal {
  int address = 1, port = 1;
  std::string text;
};

Terminal ParseTerminal(const std::string& text) {
  Terminal t{1, 0, text};
  try {
    size_t used = 0;
    const auto at = text.find('@');
    if (at != std::string::npos) {
      t.address = std::stoi(text.substr(0, at), &used);
      if (used != at) throw std::invalid_argument(text);
    }
    const std::string port = at == std::string::npos ? text : text.substr(at + 1);
    t.port = std::stoi(port, &used);
    if (used != port.size()) throw std::invalid_argument(text);
  } catch (const std::logic_error&) {
    throw CLI::ValidationError("terminal", "not PORT or ADDRESS@PORT: " + text);
  }
  if (t.port < 1 || t.port > 6 || t.address < 0 || t.address > 255)
    throw CLI::ValidationError("terminal", "port 1..6, address 0..255: " + text);
  return t;
}

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
  explicit Staging(const wpl::Env& env) : env_(env) {
    std::string tmpl = (fs::temp_directory_path() / "pclog-fp-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) Fail("cannot make a staging folder");
    dir_ = tmpl + "/";
    env_.dataDir = dir_;
    env_.ui = &ui_;
  }
  ~Staging() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // An Env for one thread: the same services and folder, a Ui of its own.
  wpl::Env For(KeptUi& ui) const {
    wpl::Env e = env_;
    e.ui = &ui;
    return e;
  }
  std::string Path(const std::string& name) const {
    return wpl::fingerprint::FingerPath(env_, name);
  }
  wpl::Env& env() { return env_; }

 private:
  wpl::Env env_;
  KeptUi ui_;
  std::string dir_;
};

std::vector<TemplateId> ReadIdList(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail("cannot read " + path);
  std::vector<TemplateId> ids;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (const auto id = wpl::fingerprint::ParseIdListLine(line)) ids.push_back(*id);
  }
  return ids;
}

std::string FileOf(const TemplateId& id) {
  return wpl::fingerprint::TemplateFileName(id.user, id.number);
}

bool IsTemplate(const std::string& path) {
  std::error_code ec;
  return fs::file_size(path, ec) == wpl::fingerprint::kTemplateSize && !ec;
}

// The templates a terminal holds, through its ID list.
std::vector<TemplateId> ListTerminal(Staging& s, const Terminal& t) {
  const auto status = wpl::fingerprint::GetIdList(s.env(), t.address, t.port);
  if (!status) Fail("no ID list from terminal " + t.text);
  return ReadIdList(s.Path(wpl::fingerprint::kIdListFile));
}

// Two templates of one user and number differ only by attribute, which the
// file name does not hold: the first one is taken, the others reported.
std::vector<TemplateId> OnePerFile(const std::vector<TemplateId>& ids) {
  std::vector<TemplateId> out;
  std::set<std::string> names;
  for (const TemplateId& id : ids) {
    if (names.insert(FileOf(id)).second) {
      out.push_back(id);
    } else {
      std::printf("%s  %s  skipped: another attribute of the same file name\n",
                  wpl::fingerprint::IdListLine(id).c_str(), FileOf(id).c_str());
    }
  }
  return out;
}

// Modules answer a request they carried out with status 0.
constexpr uint8_t kCarriedOut = 0x00;

struct Step {
  bool ok = false;
  std::string note;
  double seconds = 0;
};

std::string Describe(std::optional<uint8_t> status, const KeptUi& ui) {
  if (!ui.last.empty()) return ui.last;
  if (!status) return "no answer";
  return "status " + std::to_string(*status);
}

// Brings template `id` into the staging folder, or places it from there.
using Action = std::function<Step(const TemplateId&)>;

Action FetchFrom(const Staging& s, const Terminal& from) {
  return [&s, from](const TemplateId& id) {
    KeptUi ui;
    wpl::Env env = s.For(ui);
    const auto start = Clock::now();
    const auto status = wpl::fingerprint::GetTemplate(env, from.address, from.port, id.user,
                                                      id.attribute, id.number);
    const bool ok = status == kCarriedOut && IsTemplate(s.Path(FileOf(id)));
    return Step{ok, ok ? "fetched" : "fetch failed (" + Describe(status, ui) + ")", Since(start)};
  };
}

Action SendTo(const Staging& s, const Terminal& to) {
  return [&s, to](const TemplateId& id) {
    KeptUi ui;
    wpl::Env env = s.For(ui);
    const auto start = Clock::now();
    const auto status =
        wpl::fingerprint::SendTemplate(env, to.address, to.port, id.user, id.number);
    const bool ok = status == kCarriedOut;
    return Step{ok, to.text + (ok ? " ok" : " failed (" + Describe(status, ui) + ")"),
                Since(start)};
  };
}

// Copies a template file of a folder into the staging folder.
Action TakeFrom(const Staging& s, const std::string& folder) {
  return [&s, folder](const TemplateId& id) {
    std::error_code ec;
    const std::string from = folder + "/" + FileOf(id);
    const bool ok =
        IsTemplate(from) &&
        fs::copy_file(from, s.Path(FileOf(id)), fs::copy_options::overwrite_existing, ec) && !ec;
    return Step{ok, ok ? "read" : "not an 816-byte file: " + from, 0};
  };
}

// Moves a fetched template into a folder.
Action PlaceIn(const Staging& s, const std::string& folder, bool force) {
  return [&s, folder, force](const TemplateId& id) {
    const std::string to = folder + "/" + FileOf(id);
    std::error_code ec;
    if (!force && fs::exists(to, ec)) return Step{false, "kept the existing " + to, 0};
    fs::copy_file(s.Path(FileOf(id)), to, fs::copy_options::overwrite_existing, ec);
    return Step{!ec, ec ? "cannot write " + to : "written", 0};
  };
}

// Brings each template and places it everywhere: the places side by side,
// and the next template brought meanwhile, unless two of them share a port
// (a bus), where one at a time is all a port allows.
int Transfer(const std::vector<TemplateId>& ids, const Action& bring,
             const std::vector<Action>& places, bool sideBySide, ProgressBoard& board) {
  const auto launch = [&](const Action& a, const TemplateId& id) {
    return std::async(sideBySide ? std::launch::async : std::launch::deferred, a, id);
  };
  const auto start = Clock::now();
  size_t failed = 0;
  std::future<Step> next;
  if (!ids.empty()) next = launch(bring, ids[0]);
  for (size_t i = 0; i < ids.size(); ++i) {
    const TemplateId& id = ids[i];
    board.SetStatus(0, std::to_string(i + 1) + "/" + std::to_string(ids.size()) + " " + FileOf(id));
    const Step got = next.get();
    std::vector<std::future<Step>> placing;
    if (got.ok)
      for (const Action& place : places) placing.push_back(launch(place, id));
    if (i + 1 < ids.size()) next = launch(bring, ids[i + 1]);
    std::string line = wpl::fingerprint::IdListLine(id) + "  " + FileOf(id) + "  " + got.note;
    char took[32];
    std::snprintf(took, sizeof took, " %.3f s", got.seconds);
    if (got.seconds > 0) line += took;
    bool ok = got.ok;
    for (auto& f : placing) {
      const Step placed = f.get();
      ok = ok && placed.ok;
      std::snprintf(took, sizeof took, " %.3f s", placed.seconds);
      line += "; " + placed.note + (placed.seconds > 0 ? took : "");
    }
    failed += !ok;
    board.SetPosition(0, static_cast<int>((i + 1) * 100 / ids.size()));
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
  std::printf("%zu templates, %zu done, %zu failed in %.1f s\n", ids.size(), ids.size() - failed,
              failed, Since(start));
  return failed == 0 ? 0 : 1;
}

bool DistinctPorts(const std::vector<Terminal>& terminals) {
  std::set<int> ports;
  for (const Terminal& t : terminals)
    if (!ports.insert(t.port).second) return false;
  return true;
}

struct CopyArgs {
  std::string from;
  std::vector<std::string> to;
  std::string folder;
  bool force = false;
};

std::vector<Terminal> Terminals(const std::vector<std::string>& texts) {
  std::vector<Terminal> out;
  for (const std::string& t : texts) out.push_back(ParseTerminal(t));
  return out;
}

std::vector<Action> SendsTo(const Staging& s, const std::vector<Terminal>& to) {
  std::vector<Action> out;
  for (const Terminal& t : to) out.push_back(SendTo(s, t));
  return out;
}

int Copy(wpl::Env& env, const CopyArgs& a) {
  const Terminal from = ParseTerminal(a.from);
  const std::vector<Terminal> to = Terminals(a.to);
  std::vector<Terminal> all = to;
  all.push_back(from);
  Staging s(env);
  const auto ids = OnePerFile(ListTerminal(s, from));
  ProgressBoard board({"copy from " + from.text}, ::isatty(STDERR_FILENO) == 1);
  return Transfer(ids, FetchFrom(s, from), SendsTo(s, to), DistinctPorts(all), board);
}

int Export(wpl::Env& env, const CopyArgs& a) {
  const Terminal from = ParseTerminal(a.from);
  Staging s(env);
  const auto ids = OnePerFile(ListTerminal(s, from));
  // Nothing of the host's is replaced without --force: refused before any
  // template is fetched.
  std::error_code ec;
  fs::create_directories(a.folder, ec);
  const std::string list = a.folder + "/" + wpl::fingerprint::kIdListFile;
  if (!a.force) {
    std::vector<std::string> taken;
    if (fs::exists(list, ec)) taken.push_back(list);
    for (const TemplateId& id : ids)
      if (fs::exists(a.folder + "/" + FileOf(id), ec)) taken.push_back(FileOf(id));
    if (!taken.empty())
      Fail("export: " + std::to_string(taken.size()) +
           " files exist already (first: " + taken.front() + "); --force replaces them");
  }
  std::ofstream out(list, std::ios::binary | std::ios::trunc);
  for (const TemplateId& id : ids) out << wpl::fingerprint::IdListLine(id) << "\r\n";
  out.close();
  if (!out) Fail("cannot write " + list);
  ProgressBoard board({"export from " + from.text}, ::isatty(STDERR_FILENO) == 1);
  return Transfer(ids, FetchFrom(s, from), {PlaceIn(s, a.folder, a.force)}, false, board);
}

int Import(wpl::Env& env, const CopyArgs& a) {
  const std::vector<Terminal> to = Terminals(a.to);
  Staging s(env);
  const auto ids = OnePerFile(ReadIdList(a.folder + "/" + wpl::fingerprint::kIdListFile));
  wpl::records::EnsureFolder(s.env(), wpl::fingerprint::FingerFolder(s.env()));
  ProgressBoard board({"import from " + a.folder}, ::isatty(STDERR_FILENO) == 1);
  return Transfer(ids, TakeFrom(s, a.folder), SendsTo(s, to), DistinctPorts(to), board);
}

void AddTransfers(CLI::App* fp, wpl::Env& env) {
  auto args = std::make_shared<CopyArgs>();
  const std::string terminal = "PORT or ADDRESS@PORT (address 1 when not given)";
  auto* copy = fp->add_subcommand(
      "copy", "Copy every template of one terminal into others, one template at a time");
  copy->add_option("--from", args->from, "The terminal to copy from: " + terminal)->required();
  copy->add_option("--to", args->to, "The terminals to copy into")->required();
  copy->callback([args, &env] { Finish(Copy(env, *args)); });

  auto* exp = fp->add_subcommand(
      "export", "Keep every template of a terminal in a folder: IDLIST.TXT and FPnnnn_k.TXT");
  exp->add_option("folder", args->folder, "The folder (created when missing)")->required();
  exp->add_option("--from", args->from, "The terminal: " + terminal)->required();
  exp->add_flag("--force", args->force, "Replace files the folder has already");
  exp->callback([args, &env] { Finish(Export(env, *args)); });

  auto* imp = fp->add_subcommand(
      "import", "Load the templates of a folder (IDLIST.TXT and its files) into terminals");
  imp->add_option("folder", args->folder, "The folder an export wrote")->required();
  imp->add_option("--to", args->to, "The terminals: " + terminal)->required();
  imp->callback([args, &env] { Finish(Import(env, *args)); });
}

}  // namespace

void AddFingerprint(CLI::App& app, wpl::Env& env) {
  auto* fp = app.add_subcommand("fp", "Fingerprint module and templates");
  fp->require_subcommand(1);
  for (const FpCommand& c : kFpCommands) AddFpCommand(fp, env, c);
  AddTransfers(fp, env);
}

}  // namespace pclog
