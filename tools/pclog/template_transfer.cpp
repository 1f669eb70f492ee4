#include "template_transfer.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>

#include "fingerprint/module_link.h"

namespace pclog::fp {
namespace {

namespace fs = std::filesystem;

double Seconds(const wpl::Stopwatch& watch) {
  return std::chrono::duration<double>(watch.Elapsed()).count();
}

bool IsTemplate(const std::string& path) {
  std::error_code ec;
  return fs::file_size(path, ec) == wpl::fingerprint::kTemplateSize && !ec;
}

// Modules answer a request they carried out with status 0.
constexpr uint8_t kCarriedOut = 0x00;

std::string Describe(std::optional<uint8_t> status, const KeptUi& ui) {
  if (!ui.last.empty()) return ui.last;
  if (!status) return "no answer";
  return "status " + std::to_string(*status);
}

}  // namespace

Staging::Staging(const wpl::Env& env) : env_(env) {
  std::string tmpl = (fs::temp_directory_path() / "pclog-fp-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw TransferError("cannot make a staging folder");
  dir_ = tmpl + "/";
  env_.dataDir = dir_;
  env_.ui = &ui_;
}

Staging::~Staging() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

wpl::Env Staging::For(KeptUi& ui) const {
  wpl::Env e = env_;
  e.ui = &ui;
  return e;
}

std::string Staging::Path(const std::string& name) const {
  return wpl::fingerprint::FingerPath(env_, name);
}

std::string FileOf(const TemplateId& id) {
  return wpl::fingerprint::TemplateFileName(id.user, id.number);
}

std::vector<TemplateId> ReadIdList(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw TransferError("cannot read " + path);
  std::vector<TemplateId> ids;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (const auto id = wpl::fingerprint::ParseIdListLine(line)) ids.push_back(*id);
  }
  return ids;
}

std::vector<TemplateId> ListTerminal(Staging& s, const Terminal& t) {
  const auto status = wpl::fingerprint::GetIdList(s.env(), t.address, t.port);
  if (!status) throw TransferError("no ID list from terminal " + t.text);
  return ReadIdList(s.Path(wpl::fingerprint::kIdListFile));
}

std::vector<TemplateId> OnePerFile(const std::vector<TemplateId>& ids, std::FILE* out) {
  std::vector<TemplateId> kept;
  std::set<std::string> names;
  for (const TemplateId& id : ids) {
    if (names.insert(FileOf(id)).second) {
      kept.push_back(id);
    } else {
      std::fprintf(out, "%s  %s  skipped: another attribute of the same file name\n",
                   wpl::fingerprint::IdListLine(id).c_str(), FileOf(id).c_str());
    }
  }
  return kept;
}

bool DistinctPorts(const std::vector<Terminal>& terminals) {
  std::set<int> ports;
  for (const Terminal& t : terminals)
    if (!ports.insert(t.port).second) return false;
  return true;
}

Action FetchFrom(const Staging& s, const Terminal& from) {
  return [&s, from](const TemplateId& id) {
    KeptUi ui;
    wpl::Env env = s.For(ui);
    const wpl::Stopwatch watch(*env.clock);
    const auto status = wpl::fingerprint::GetTemplate(env, from.address, from.port, id.user,
                                                      id.attribute, id.number);
    const bool ok = status == kCarriedOut && IsTemplate(s.Path(FileOf(id)));
    return Step{ok, ok ? "fetched" : "fetch failed (" + Describe(status, ui) + ")", Seconds(watch)};
  };
}

Action SendTo(const Staging& s, const Terminal& to) {
  return [&s, to](const TemplateId& id) {
    KeptUi ui;
    wpl::Env env = s.For(ui);
    const wpl::Stopwatch watch(*env.clock);
    const auto status =
        wpl::fingerprint::SendTemplate(env, to.address, to.port, id.user, id.number);
    const bool ok = status == kCarriedOut;
    return Step{ok, to.text + (ok ? " ok" : " failed (" + Describe(status, ui) + ")"),
                Seconds(watch)};
  };
}

std::vector<Action> SendsTo(const Staging& s, const std::vector<Terminal>& to) {
  std::vector<Action> out;
  for (const Terminal& t : to) out.push_back(SendTo(s, t));
  return out;
}

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

Action PlaceIn(const Staging& s, const std::string& folder, bool force) {
  return [&s, folder, force](const TemplateId& id) {
    const std::string to = folder + "/" + FileOf(id);
    std::error_code ec;
    if (!force && fs::exists(to, ec)) return Step{false, "kept the existing " + to, 0};
    fs::copy_file(s.Path(FileOf(id)), to, fs::copy_options::overwrite_existing, ec);
    return Step{!ec, ec ? "cannot write " + to : "written", 0};
  };
}

int Transfer(const std::vector<TemplateId>& ids, const Action& bring,
             const std::vector<Action>& places, bool sideBySide, ProgressBoard& board,
             wpl::Clock& clock, std::FILE* out) {
  const auto launch = [&](const Action& a, const TemplateId& id) {
    return std::async(sideBySide ? std::launch::async : std::launch::deferred, a, id);
  };
  const wpl::Stopwatch watch(clock);
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
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
  }
  std::fprintf(out, "%zu templates, %zu done, %zu failed in %.1f s\n", ids.size(),
               ids.size() - failed, failed, Seconds(watch));
  return failed == 0 ? 0 : 1;
}

}  // namespace pclog::fp
