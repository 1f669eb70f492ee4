// Converting record files to text with dated backups: the post-download
// conversion every download runs (and its per-terminal and address variants),
// and the host's conversions of a record file it names (_CONVERFILE for
// clocking records, _CONVERXFFILE for consumption records). The variants
// differ only in the values of one PostDownloadConversion.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"
#include "records/clocking_record.h"

namespace wpl::records {

// File problems are shown to the user with these texts, whatever the files
// are called.
inline constexpr char kOpenErrorTitle[] = "Open Error";
inline constexpr char kCannotOpenRecordFile[] = "can not open pclog.dat!";
inline constexpr char kCannotCreateTextFile[] = "can not creat PCLOG.TXT!";

// How often an open is tried, the pause between tries, and whether each
// failure is shown to the user.
struct Attempts {
  int tries = 1;
  Millis pause{0};
  bool message = true;
};

enum class RecordKind { kClocking, kConsumption };

// Which files a post-download conversion works on, how it retries, and the
// tag rule. File names are relative to the folder the conversion runs in.
struct PostDownloadConversion {
  std::string recordFile = "pclog.dat";
  std::string textFile = "pclog.txt";
  // Pause before opening: the download has only just closed the record file.
  Millis settle{300};
  Attempts open{30, Millis{100}, true};
  Attempts create{15, Millis{10}, true};
  TagRule tags = TagRule::kSixtyElseThirty;
  RecordKind kind = RecordKind::kClocking;
  // The downloads keep a copy of the record file too; the host's conversions
  // only of the text.
  bool backupRecordFile = true;
};

// _LANMANYDOWNLOAD: "pclog" + N + ".dat"/".txt", both opens 15 tries 100 ms
// apart with a message, tag flags added independently.
PostDownloadConversion PerTerminalConversion(int32_t terminal);
// _LANDOWNLOADADDR: pclog.dat/.txt, the record file tried 15 times 100 ms
// apart without a message, the text file 15 times 100 ms apart with one.
PostDownloadConversion AddressConversion();
// _CONVERFILE and _CONVERXFFILE: name + ".dat"/".txt", 15 tries 100 ms apart
// with a message for both, only the text backed up; consumption records
// wait 300 ms first, clocking records do not.
PostDownloadConversion HostFileConversion(const std::string& name, RecordKind kind);

// Converts in env.dataDir: 0 done, -1 when the record file could not be
// opened, the text file not created, or either failed while converting.
// Includes the pauses (300 ms before, 1 s before the backups) on env.clock.
int ConvertRecordFile(Env& env, const PostDownloadConversion& how = {});

// The exports' form: the host names the folder (ending with a separator;
// names are joined to it as given) and the file name without extension.
// 0 done, 1 failed.
int ConvertHostFile(Env& env, const std::string& directory, const std::string& name,
                    RecordKind kind);

// Calls `open` up to attempts.tries times until it gives a file; after each
// failure shows `message` (when attempts.message) and, if another try
// follows, pauses. nullptr after the last failure.
template <class Open>
std::unique_ptr<File> OpenWithAttempts(Env& env, const Attempts& attempts, const char* message,
                                       Open&& open) {
  for (int i = 1; i <= attempts.tries; ++i) {
    if (auto file = open()) return file;
    if (attempts.message) env.ui->ShowMessage(message, kOpenErrorTitle);
    if (i < attempts.tries) env.clock->Sleep(attempts.pause);
  }
  return nullptr;
}

}  // namespace wpl::records
