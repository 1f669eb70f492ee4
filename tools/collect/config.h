// The site file of the collector: which store, which spool folder, and for
// every terminal its link, its schedule, what is done with it and whether it
// is cleared. Reading it collects every mistake with its line, so that one
// check names them all.
#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace collect {

enum class LinkKind { kNetwork, kSerial, kModem };
enum class Mode { kDownload, kWatch, kBoth };

struct TerminalConfig {
  std::string id;
  LinkKind link = LinkKind::kNetwork;
  std::string ip;                 // network
  int port = 0;                   // serial and modem: com1..com6
  int address = 1;                // serial and modem: the terminal's address byte
  std::string modem;              // modem: the telephone number
  std::chrono::seconds every{0};  // 0: no periodic downloads
  std::vector<int> at;            // minutes after local midnight, ascending
  Mode mode = Mode::kDownload;
  bool clear = true;  // "after-commit"; false: "never"
  std::string zone;   // empty: the host's zone
  int line = 0;       // where the terminal's table starts in the file

  bool watches() const { return mode != Mode::kDownload; }
  bool scheduled() const { return every.count() > 0 || !at.empty(); }
};

struct SiteConfig {
  std::string file;    // the file read, as given
  std::string folder;  // its folder, ending with '/'
  std::string site;
  std::string store = "sqlite:pclog.db";  // relative SQLite paths resolved
  std::string spool = "spool";            // resolved
  int parallel = 16;                      // downloads side by side
  std::chrono::milliseconds poll{1000};   // the live feed's interval
  std::chrono::seconds retryMax{600};     // the longest back-off
  std::vector<TerminalConfig> terminals;
};

struct ConfigProblem {
  int line = 0;  // 0: the file as a whole
  std::string text;
};

struct LoadedConfig {
  SiteConfig config;
  std::vector<ConfigProblem> problems;
  bool ok() const { return problems.empty(); }
};

// Reads and checks the file; relative paths are taken from its folder.
LoadedConfig LoadConfig(const std::string& path);
// The same for text in memory, as if read from `path`.
LoadedConfig ParseConfig(const std::string& text, const std::string& path);

// "10m", "30s", "1h", "2d", "1h30m"; nothing for anything else.
std::optional<std::chrono::milliseconds> ParseDuration(const std::string& text);
// "06:00" as minutes after midnight.
std::optional<int> ParseClockTime(const std::string& text);

// How a terminal's link reads in logs and status: "ip 127.0.0.5",
// "com3 address 1", "modem 5551234 com2 address 1".
std::string LinkText(const TerminalConfig& t);
const char* ModeText(Mode m);

}  // namespace collect
