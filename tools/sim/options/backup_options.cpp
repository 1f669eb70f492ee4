#include "backup_options.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace wpl::sim {
namespace {

// "NAME[=N]".
void ApplyFault(const std::string& text, BackupFaults& f) {
  const auto eq = text.find('=');
  const std::string name = text.substr(0, eq);
  const size_t n = eq == std::string::npos ? 1 : std::stoul(text.substr(eq + 1));
  if (name == "bad-checksum") {
    f.corruptSendings = static_cast<int>(n);
  } else if (name == "reject") {
    f.rejections = static_cast<int>(n);
  } else if (name == "wrong-position") {
    f.wrongPosition = true;
  } else if (name == "wrong-final") {
    f.wrongFinal = true;
  } else if (name == "oversize") {
    f.oversize = true;
  } else if (name == "silent") {
    f.silent = true;
  } else if (name == "drop-after") {
    f.dropAfter = n;
  } else if (name == "no-open-answer") {
    f.openFlags = 0x04;
  } else {
    throw std::runtime_error("unknown backup fault: " + text);
  }
}

}  // namespace

void AddBackupOptions(CLI::App& app, BackupOptions& o) {
  app.add_option("--backup-size", o.size, "Bytes of the module's generated backup store");
  app.add_option("--backup-seed", o.seed, "Seed of the generated backup store");
  app.add_option("--backup-file", o.file, "The module's backup store from this file instead");
  app.add_option("--backup-block", o.blockSize, "Data bytes per block the module sends (1..1586)");
  app.add_option("--backup-ready-ms", o.readyDelayMs,
                 "Delay of the second ACK that reports backup mode ready");
  app.add_flag("--backup-mode", o.backupMode,
               "Start in backup mode: the line is the backup link at 19200 8N2");
  app.add_option("--backup-fault", o.faults,
                 "bad-checksum[=N] (first block's first N sendings), reject[=N] (first block "
                 "sent to the module), wrong-position, wrong-final, oversize, silent, "
                 "drop-after=N (blocks), no-open-answer");
}

void ApplyBackupOptions(const BackupOptions& o, TerminalConfig& config) {
  BackupConfig& b = config.backup;
  if (o.file.empty()) {
    b.store = BackupModule::MakeStore(o.size, o.seed);
  } else {
    std::ifstream in(o.file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + o.file);
    b.store.assign(std::istreambuf_iterator<char>(in), {});
  }
  b.blockSize = o.blockSize;
  b.readyDelay = Millis{o.readyDelayMs};
  config.backupOnly = o.backupMode;
  for (const std::string& f : o.faults) ApplyFault(f, b.faults);
}

}  // namespace wpl::sim
