#include "config.h"

#include <sys/stat.h>
#include <toml++/toml.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "link/ipv4_text.h"

namespace collect {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

int LineOf(const toml::node& n) { return static_cast<int>(n.source().begin.line); }

class Reader {
 public:
  explicit Reader(LoadedConfig& out) : out_(out) {}

  void Problem(int line, std::string text) { out_.problems.push_back({line, std::move(text)}); }

  std::optional<std::string> String(const toml::node& n, std::string_view key) {
    if (auto s = n.value<std::string>()) return *s;
    Problem(LineOf(n), std::string(key) + " must be a text in quotes");
    return std::nullopt;
  }
  std::optional<int64_t> Integer(const toml::node& n, std::string_view key, int64_t lo,
                                 int64_t hi) {
    const auto v = n.value<int64_t>();
    if (!v || !n.is_integer()) {
      Problem(LineOf(n), std::string(key) + " must be a whole number");
      return std::nullopt;
    }
    if (*v < lo || *v > hi) {
      Problem(LineOf(n), std::string(key) + " must be from " + std::to_string(lo) + " to " +
                             std::to_string(hi) + ", not " + std::to_string(*v));
      return std::nullopt;
    }
    return v;
  }
  std::optional<milliseconds> Duration(const toml::node& n, std::string_view key) {
    const auto s = String(n, key);
    if (!s) return std::nullopt;
    const auto d = ParseDuration(*s);
    if (!d || d->count() <= 0) {
      Problem(LineOf(n), std::string(key) +
                             " must be a duration such as \"30s\", \"10m\" or "
                             "\"1h\", not \"" +
                             *s + "\"");
      return std::nullopt;
    }
    return d;
  }

 private:
  LoadedConfig& out_;
};

std::string Resolve(const std::string& folder, const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  return folder + path;
}

bool ZoneExists(const std::string& zone) {
  if (zone == "UTC") return true;
  if (zone.empty() || zone[0] == '/' || zone.find("..") != std::string::npos) return false;
  struct stat st {};
  return ::stat(("/usr/share/zoneinfo/" + zone).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void ReadTerminal(Reader& r, const toml::table& t, int line, TerminalConfig& term) {
  term.line = line;
  const toml::node *ip = nullptr, *port = nullptr, *modem = nullptr, *address = nullptr,
                   *every = nullptr, *at = nullptr;
  for (auto&& [key, node] : t) {
    const std::string k(key.str());
    const int l = LineOf(node);
    if (k == "id") {
      if (auto s = r.String(node, k)) {
        term.id = *s;
        if (s->empty()) r.Problem(l, "id must not be empty");
      }
    } else if (k == "ip") {
      ip = &node;
      if (auto s = r.String(node, k)) {
        term.ip = *s;
        if (!wpl::link::ParseIpv4(s->c_str()))
          r.Problem(l, "ip \"" + *s + "\" is not an IPv4 address");
      }
    } else if (k == "port") {
      port = &node;
      if (auto v = r.Integer(node, k, 1, 6)) term.port = static_cast<int>(*v);
    } else if (k == "address") {
      address = &node;
      if (auto v = r.Integer(node, k, 0, 255)) term.address = static_cast<int>(*v);
    } else if (k == "modem") {
      modem = &node;
      if (auto s = r.String(node, k)) {
        term.modem = *s;
        const bool digits = !s->empty() && s->size() <= 32 &&
                            s->find_first_not_of("0123456789,*#PTWptw+-") == std::string::npos;
        if (!digits) r.Problem(l, "modem \"" + *s + "\" is not a telephone number");
      }
    } else if (k == "every") {
      every = &node;
      if (auto d = r.Duration(node, k)) {
        term.every = std::chrono::duration_cast<seconds>(*d);
        if (term.every.count() < 1) r.Problem(l, "every must be at least \"1s\"");
      }
    } else if (k == "at") {
      at = &node;
      const toml::array* list = node.as_array();
      if (!list || list->empty()) {
        r.Problem(l, "at must be a list of times such as [\"06:00\", \"14:00\"]");
        continue;
      }
      for (const toml::node& e : *list) {
        const auto s = e.value<std::string>();
        const auto m = s ? ParseClockTime(*s) : std::nullopt;
        if (!m) {
          r.Problem(LineOf(e), "at: " + (s ? "\"" + *s + "\"" : std::string("a value")) +
                                   " is not a time of day such as \"06:00\"");
          continue;
        }
        term.at.push_back(*m);
      }
      std::sort(term.at.begin(), term.at.end());
      term.at.erase(std::unique(term.at.begin(), term.at.end()), term.at.end());
    } else if (k == "mode") {
      if (auto s = r.String(node, k)) {
        static const std::map<std::string, Mode> kModes{
            {"download", Mode::kDownload}, {"watch", Mode::kWatch}, {"both", Mode::kBoth}};
        if (auto it = kModes.find(*s); it != kModes.end())
          term.mode = it->second;
        else
          r.Problem(l, "mode must be \"download\", \"watch\" or \"both\", not \"" + *s + "\"");
      }
    } else if (k == "clear") {
      if (auto s = r.String(node, k)) {
        if (*s == "after-commit")
          term.clear = true;
        else if (*s == "never")
          term.clear = false;
        else
          r.Problem(l, "clear must be \"after-commit\" or \"never\", not \"" + *s + "\"");
      }
    } else if (k == "zone") {
      if (auto s = r.String(node, k)) {
        term.zone = *s;
        if (!ZoneExists(*s)) r.Problem(l, "zone \"" + *s + "\" is not a known time zone");
      }
    } else {
      r.Problem(LineOf(node), "unknown key \"" + k + "\" in [[terminal]]");
    }
  }
  if (term.id.empty() && !t.contains("id")) r.Problem(line, "[[terminal]] without an id");
  const int links = (ip != nullptr) + (modem != nullptr) + (port != nullptr && modem == nullptr);
  if (links == 0) {
    r.Problem(line, "terminal \"" + term.id +
                        "\" needs ip, or port and address, or modem, "
                        "port and address");
  } else if (ip && (port || modem || address)) {
    r.Problem(LineOf(*ip), "terminal \"" + term.id +
                               "\": ip does not go with port, address "
                               "or modem");
  } else if (modem) {
    term.link = LinkKind::kModem;
    if (!port) r.Problem(LineOf(*modem), "terminal \"" + term.id + "\": modem needs a port");
  } else if (port) {
    term.link = LinkKind::kSerial;
  }
  if (every && at)
    r.Problem(LineOf(*at), "terminal \"" + term.id + "\": every and at do not go together");
  if (!every && !at && !term.watches())
    r.Problem(line, "terminal \"" + term.id + "\" needs every or at (or mode \"watch\")");
  if (term.link == LinkKind::kModem && term.watches())
    r.Problem(line, "terminal \"" + term.id + "\": a modem terminal cannot be watched");
}

}  // namespace

std::optional<milliseconds> ParseDuration(const std::string& text) {
  if (text.empty()) return std::nullopt;
  int64_t total = 0;
  size_t i = 0;
  while (i < text.size()) {
    int64_t n = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      n = n * 10 + (text[i++] - '0');
      if (++digits > 9) return std::nullopt;
    }
    if (digits == 0 || i == text.size()) return std::nullopt;
    std::string unit;
    while (i < text.size() && (text[i] < '0' || text[i] > '9')) unit += text[i++];
    static const std::map<std::string, int64_t> kUnits{
        {"ms", 1}, {"s", 1000}, {"m", 60'000}, {"h", 3'600'000}, {"d", 86'400'000}};
    const auto it = kUnits.find(unit);
    if (it == kUnits.end()) return std::nullopt;
    total += n * it->second;
    if (total > int64_t{366} * 86'400'000) return std::nullopt;
  }
  return milliseconds(total);
}

std::optional<int> ParseClockTime(const std::string& text) {
  if (text.size() != 5 || text[2] != ':') return std::nullopt;
  for (size_t i : {0u, 1u, 3u, 4u})
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  const int h = (text[0] - '0') * 10 + (text[1] - '0');
  const int m = (text[3] - '0') * 10 + (text[4] - '0');
  if (h > 23 || m > 59) return std::nullopt;
  return h * 60 + m;
}

std::string LinkText(const TerminalConfig& t) {
  const std::string serial =
      "com" + std::to_string(t.port) + " address " + std::to_string(t.address);
  switch (t.link) {
    case LinkKind::kNetwork: return "ip " + t.ip;
    case LinkKind::kSerial: return serial;
    case LinkKind::kModem: break;
  }
  return "modem " + t.modem + " " + serial;
}

const char* ModeText(Mode m) {
  switch (m) {
    case Mode::kDownload: return "download";
    case Mode::kWatch: return "watch";
    case Mode::kBoth: break;
  }
  return "both";
}

LoadedConfig ParseConfig(const std::string& text, const std::string& path) {
  LoadedConfig out;
  SiteConfig& c = out.config;
  c.file = path;
  const auto slash = path.rfind('/');
  c.folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  Reader r(out);
  toml::table root;
  try {
    root = toml::parse(text, path);
  } catch (const toml::parse_error& e) {
    r.Problem(static_cast<int>(e.source().begin.line), std::string(e.description()));
    return out;
  }
  bool haveSite = false;
  for (auto&& [key, node] : root) {
    const std::string k(key.str());
    if (k == "site") {
      if (auto s = r.String(node, k)) {
        c.site = *s;
        haveSite = true;
        if (s->empty()) r.Problem(LineOf(node), "site must not be empty");
      }
    } else if (k == "store") {
      if (auto s = r.String(node, k)) {
        if (s->rfind("sqlite:", 0) == 0 && s->size() > 7) {
          c.store = "sqlite:" + Resolve(c.folder, s->substr(7));
        } else if (s->rfind("postgresql://", 0) == 0 || s->rfind("postgres://", 0) == 0) {
          c.store = *s;
        } else {
          r.Problem(LineOf(node),
                    "store must be \"sqlite:FILE\" or \"postgresql://...\", not \"" + *s + "\"");
        }
      }
    } else if (k == "spool") {
      if (auto s = r.String(node, k)) {
        c.spool = *s;
        if (s->empty()) r.Problem(LineOf(node), "spool must not be empty");
      }
    } else if (k == "parallel") {
      if (auto v = r.Integer(node, k, 1, 256)) c.parallel = static_cast<int>(*v);
    } else if (k == "poll") {
      if (auto d = r.Duration(node, k)) c.poll = *d;
    } else if (k == "retry-max") {
      if (auto d = r.Duration(node, k)) c.retryMax = std::chrono::duration_cast<seconds>(*d);
    } else if (k == "terminal") {
      const toml::array* list = node.as_array();
      if (!list || !list->is_array_of_tables()) {
        r.Problem(LineOf(node), "terminal must be written as [[terminal]] tables");
        continue;
      }
      for (const toml::node& e : *list) {
        TerminalConfig t;
        ReadTerminal(r, *e.as_table(), LineOf(e), t);
        c.terminals.push_back(std::move(t));
      }
    } else {
      r.Problem(LineOf(node), "unknown key \"" + k + "\"");
    }
  }
  if (!haveSite) r.Problem(0, "site is missing (site = \"NAME\")");
  if (c.store == "sqlite:pclog.db") c.store = "sqlite:" + Resolve(c.folder, "pclog.db");
  c.spool = Resolve(c.folder, c.spool);
  if (c.terminals.empty()) r.Problem(0, "no [[terminal]] is configured");
  // Names and links must be unique: two entries for one terminal would
  // download it twice under two names.
  std::map<std::string, int> ids, links;
  for (const TerminalConfig& t : c.terminals) {
    if (!t.id.empty() && !ids.emplace(t.id, t.line).second)
      r.Problem(t.line, "terminal id \"" + t.id + "\" is used twice (first on line " +
                            std::to_string(ids[t.id]) + ")");
    const std::string link = t.link == LinkKind::kNetwork ? t.ip : LinkText(t);
    if (!link.empty() && !links.emplace(link, t.line).second)
      r.Problem(t.line, "terminal \"" + t.id + "\": " + LinkText(t) + " is configured twice " +
                            "(first on line " + std::to_string(links[link]) + ")");
  }
  std::stable_sort(out.problems.begin(), out.problems.end(),
                   [](const ConfigProblem& a, const ConfigProblem& b) { return a.line < b.line; });
  return out;
}

LoadedConfig LoadConfig(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    LoadedConfig out;
    out.config.file = path;
    out.problems.push_back({0, "cannot read " + path});
    return out;
  }
  std::stringstream text;
  text << in.rdbuf();
  return ParseConfig(text.str(), path);
}

}  // namespace collect
