// pclog fp backup / receive-backup / send-backup / show-backup: the
// terminal's backup mode, the module's store received into a backup file or
// sent back from one with a bar counting bytes, and the blocks a send would
// make of a file.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "commands.h"
#include "exports/results.h"
#include "fingerprint/backup.h"
#include "fingerprint/backup_packet.h"

namespace pclog {
namespace {

namespace fp = wpl::fingerprint;

// Bytes moved, drawn on stderr when a person watches it.
fp::BackupProgress ByteBar() {
  if (!::isatty(STDERR_FILENO)) return {};
  return [](uint64_t done, uint64_t total) {
    constexpr int kWidth = 40;
    std::string bar(kWidth, '.');
    if (total > 0) std::fill_n(bar.begin(), std::min<uint64_t>(done * kWidth / total, kWidth), '#');
    std::fprintf(stderr, "\r[%s] %llu", bar.c_str(), static_cast<unsigned long long>(done));
    if (total > 0) std::fprintf(stderr, " / %llu", static_cast<unsigned long long>(total));
    std::fprintf(stderr, " bytes\033[K");
    std::fflush(stderr);
  };
}

[[noreturn]] void Report(fp::BackupOutcome outcome, const char* done) {
  if (::isatty(STDERR_FILENO)) std::fputc('\n', stderr);
  if (outcome == fp::BackupOutcome::kDone)
    std::printf("%s\n", done);
  else
    std::printf("failed: %s\n", fp::OutcomeText(outcome));
  Finish(wpl::exports::DoneOrFailed(outcome));
}

CLI::App* FingerprintGroup(CLI::App& app) {
  try {
    return app.get_subcommand("fp");
  } catch (const CLI::OptionNotFound&) {
    auto* fp = app.add_subcommand("fp", "The terminal's fingerprint module");
    fp->require_subcommand(1);
    return fp;
  }
}

}  // namespace

void AddBackup(CLI::App& app, wpl::Env& env) {
  CLI::App* group = FingerprintGroup(app);

  auto* mode = group->add_subcommand("backup", "Put the terminal into backup mode");
  auto modeArgs = AddSerialTarget(mode);
  auto modeByte = std::make_shared<int>(5);
  mode->add_option("--mode", *modeByte, "Mode byte passed to the terminal")->capture_default_str();
  mode->callback([modeArgs, modeByte, &env] {
    const auto r = fp::EnterBackupMode(env, modeArgs->address, modeArgs->port, *modeByte);
    const int code = wpl::exports::DoneOrFailed(r);
    std::printf(code == 0 ? "terminal %d is ready for the backup link\n"
                          : "terminal %d did not enter backup mode\n",
                modeArgs->address);
    Finish(code);
  });

  struct Transfer {
    int port = 1;
    std::string file;
  };
  auto receive = group->add_subcommand("receive-backup", "Receive the module's backup");
  auto send = group->add_subcommand("send-backup", "Send a backup file to the module");
  for (auto* sub : {receive, send}) {
    auto args = std::make_shared<Transfer>();
    sub->add_option("file", args->file, "Backup file (default zwbak.txt in the data folder)");
    sub->add_option("--port", args->port, "Port the search starts from (1..6)")
        ->capture_default_str();
    const bool receiving = sub == receive;
    sub->callback([args, receiving, &env] {
      if (receiving)
        Report(fp::ReceiveBackup(env, args->port, args->file, ByteBar()), "backup received");
      Report(fp::SendBackup(env, args->port, args->file, ByteBar()), "backup sent");
    });
  }

  auto* show = group->add_subcommand("show-backup", "List the blocks a send makes of a file");
  auto showFile = std::make_shared<std::string>();
  show->add_option("file", *showFile, "Backup file")->required();
  show->callback([showFile] {
    std::ifstream in(*showFile, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (bytes.empty()) {
      std::printf("%s: empty or unreadable\n", showFile->c_str());
      Finish(1);
    }
    const bool marked = bytes.size() >= 3 && bytes.compare(0, 3, "\x01\x36\x02") == 0;
    std::printf("%zu bytes%s\n", bytes.size(), marked ? ", marked 01 36 02" : ", not marked");
    size_t count = 0;
    for (size_t at = 0; at < bytes.size(); at += fp::kMaxSentData, ++count) {
      const size_t size = std::min(fp::kMaxSentData, bytes.size() - at);
      std::printf("block %zu: offset %zu, %zu bytes, more follows %d\n", count, at, size,
                  at + size < bytes.size() ? 1 : 0);
    }
    Finish(bytes.size() < 4 ? 1 : 0);
  });
}

}  // namespace pclog
