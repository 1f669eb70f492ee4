// pclog fp: the fingerprint exports one by one, and what people do with
// them: copy the templates of one terminal into others, or keep them in a
// folder and load them back. Each template goes through a staging folder
// of its own (the library's FINGERREC layout), so nothing on the host is
// overwritten unless --force says so.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "exports/results.h"
#include "fingerprint/module_link.h"
#include "fingerprint/templates.h"
#include "progress.h"
#include "records/backup.h"
#include "template_transfer.h"

namespace pclog {
namespace {

namespace fs = std::filesystem;
using namespace fp;

// Ends the command with a reason on stderr and exit status 1.
[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "pclog fp: %s\n", why.c_str());
  Finish(1);
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
    const int32_t result = wpl::exports::StatusOr255(command->run(env, *args));
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

bool Live() { return ::isatty(STDERR_FILENO) == 1; }

int Copy(wpl::Env& env, const CopyArgs& a) {
  const Terminal from = ParseTerminal(a.from);
  const std::vector<Terminal> to = Terminals(a.to);
  std::vector<Terminal> all = to;
  all.push_back(from);
  Staging s(env);
  const auto ids = OnePerFile(ListTerminal(s, from), stdout);
  ProgressBoard board({"copy from " + from.text}, Live());
  return Transfer(ids, FetchFrom(s, from), SendsTo(s, to), DistinctPorts(all), board,
                  *s.env().clock);
}

int Export(wpl::Env& env, const CopyArgs& a) {
  const Terminal from = ParseTerminal(a.from);
  Staging s(env);
  const auto ids = OnePerFile(ListTerminal(s, from), stdout);
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
  ProgressBoard board({"export from " + from.text}, Live());
  return Transfer(ids, FetchFrom(s, from), {PlaceIn(s, a.folder, a.force)}, false, board,
                  *s.env().clock);
}

int Import(wpl::Env& env, const CopyArgs& a) {
  const std::vector<Terminal> to = Terminals(a.to);
  Staging s(env);
  const auto ids = OnePerFile(ReadIdList(a.folder + "/" + wpl::fingerprint::kIdListFile), stdout);
  wpl::records::EnsureFolder(s.env(), wpl::fingerprint::FingerFolder(s.env()));
  ProgressBoard board({"import from " + a.folder}, Live());
  return Transfer(ids, TakeFrom(s, a.folder), SendsTo(s, to), DistinctPorts(to), board,
                  *s.env().clock);
}

// A transfer that cannot start ends the command with its reason.
int Run(int (*transfer)(wpl::Env&, const CopyArgs&), wpl::Env& env, const CopyArgs& a) {
  try {
    return transfer(env, a);
  } catch (const TransferError& e) {
    Fail(e.what());
  }
}

void AddTransfers(CLI::App* fp, wpl::Env& env) {
  auto args = std::make_shared<CopyArgs>();
  const std::string terminal = "PORT or ADDRESS@PORT (address 1 when not given)";
  auto* copy = fp->add_subcommand(
      "copy", "Copy every template of one terminal into others, one template at a time");
  copy->add_option("--from", args->from, "The terminal to copy from: " + terminal)->required();
  copy->add_option("--to", args->to, "The terminals to copy into")->required();
  copy->callback([args, &env] { Finish(Run(Copy, env, *args)); });

  auto* exp = fp->add_subcommand(
      "export", "Keep every template of a terminal in a folder: IDLIST.TXT and FPnnnn_k.TXT");
  exp->add_option("folder", args->folder, "The folder (created when missing)")->required();
  exp->add_option("--from", args->from, "The terminal: " + terminal)->required();
  exp->add_flag("--force", args->force, "Replace files the folder has already");
  exp->callback([args, &env] { Finish(Run(Export, env, *args)); });

  auto* imp = fp->add_subcommand(
      "import", "Load the templates of a folder (IDLIST.TXT and its files) into terminals");
  imp->add_option("folder", args->folder, "The folder an export wrote")->required();
  imp->add_option("--to", args->to, "The terminals: " + terminal)->required();
  imp->callback([args, &env] { Finish(Run(Import, env, *args)); });
}

}  // namespace

void AddFingerprint(CLI::App& app, wpl::Env& env) {
  auto* fp = app.add_subcommand("fp", "Fingerprint module and templates");
  fp->require_subcommand(1);
  for (const FpCommand& c : kFpCommands) AddFpCommand(fp, env, c);
  AddTransfers(fp, env);
}

}  // namespace pclog
