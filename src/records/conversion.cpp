#include "records/conversion.h"

#include "records/backup.h"
#include "records/format.h"
#include "records/record_scan.h"

namespace wpl::records {
namespace {

// Pause between closing the files and copying them to the backup folder.
constexpr Millis kBeforeBackup{1000};

bool RunConversion(Env& env, const std::string& directory, const PostDownloadConversion& how) {
  if (how.settle.count() > 0) env.clock->Sleep(how.settle);
  const std::string recordPath = directory + how.recordFile;
  const std::string textPath = directory + how.textFile;

  auto in = OpenWithAttempts(env, how.open, kCannotOpenRecordFile,
                             [&] { return env.files->OpenRead(recordPath); });
  if (!in) return false;
  auto out = OpenWithAttempts(env, how.create, kCannotCreateTextFile,
                              [&] { return env.files->Create(textPath); });
  if (!out) return false;

  const ScanOutcome scan = how.kind == RecordKind::kConsumption
                               ? ConvertConsumptionRecords(*in, *out)
                               : ConvertClockingRecords(*in, *out, how.tags);
  in.reset();
  out.reset();
  // A text file cut short by a read or write error is no conversion: the
  // caller must not clear the terminal on the strength of it.
  if (!scan.ok()) return false;
  env.clock->Sleep(kBeforeBackup);

  // Backup failures leave the conversion itself standing.
  const std::string folder = BackupFolder(env, directory);
  if (EnsureFolder(env, folder)) {
    BackupCopy(env, textPath, folder, scan.firstKey, ".txt");
    if (how.backupRecordFile) BackupCopy(env, recordPath, folder, scan.firstKey, ".dat");
  }
  return true;
}

}  // namespace

PostDownloadConversion PerTerminalConversion(int32_t terminal) {
  PostDownloadConversion how;
  how.recordFile = "pclog" + DecimalText(terminal) + ".dat";
  how.textFile = "pclog" + DecimalText(terminal) + ".txt";
  how.open = {15, Millis{100}, true};
  how.create = {15, Millis{100}, true};
  how.tags = TagRule::kIndependent;
  return how;
}

PostDownloadConversion AddressConversion() {
  PostDownloadConversion how;
  how.open = {15, Millis{100}, false};
  how.create = {15, Millis{100}, true};
  return how;
}

PostDownloadConversion HostFileConversion(const std::string& name, RecordKind kind) {
  PostDownloadConversion how;
  how.recordFile = name + ".dat";
  how.textFile = name + ".txt";
  how.settle = kind == RecordKind::kConsumption ? Millis{300} : Millis{0};
  how.open = {15, Millis{100}, true};
  how.create = {15, Millis{100}, true};
  how.kind = kind;
  how.backupRecordFile = false;
  return how;
}

int ConvertRecordFile(Env& env, const PostDownloadConversion& how) {
  return RunConversion(env, env.dataDir, how) ? 0 : -1;
}

int ConvertHostFile(Env& env, const std::string& directory, const std::string& name,
                    RecordKind kind) {
  return RunConversion(env, directory, HostFileConversion(name, kind)) ? 0 : 1;
}

}  // namespace wpl::records
