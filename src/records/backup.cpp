#include "records/backup.h"

#include "records/format.h"

namespace wpl::records {
namespace {

// Bounds on the searches for a free temporary name and a free final name;
// both only run out when something else fills the folder with those names.
constexpr int kTemporaryNames = 100;
constexpr int kFinalNames = 999;

}  // namespace

std::string BackupFolder(Env& env, const std::string& directory) {
  return directory + "downbak" + env.files->Separator();
}

bool EnsureFolder(Env& env, const std::string& folder) {
  // Another conversion may create it between the test and the creation.
  return env.files->IsDirectory(folder) || env.files->MakeDirectory(folder) ||
         env.files->IsDirectory(folder);
}

std::string BackupName(const std::string& stamp, const std::string& key,
                       const std::string& extension, int n) {
  std::string name = "k" + stamp + "_" + key;
  if (n > 1) name += "-" + DecimalText(n);
  return name + extension;
}

std::optional<std::string> BackupCopy(Env& env, const std::string& source,
                                      const std::string& folder, const std::string& key,
                                      const std::string& extension) {
  FileSystem& files = *env.files;
  const std::string stamp = StampMonthDayTime(env.clock->Local());
  const std::string plain = BackupName(stamp, key, extension);

  // The copy is made under a name no one else uses, so the final name only
  // ever appears holding a complete copy.
  std::string temporary;
  for (int n = 0;; ++n) {
    if (n == kTemporaryNames) return std::nullopt;
    temporary = folder + plain + ".part" + DecimalText(n);
    if (files.CopyNoOverwrite(source, temporary)) break;
    // Without a source there is nothing to keep. Otherwise the name was
    // taken (it may be gone again by now: renamed by its owner), so the next
    // one is tried.
    if (!files.Exists(source)) return std::nullopt;
  }
  for (int n = 1; n <= kFinalNames; ++n) {
    const std::string name = BackupName(stamp, key, extension, n);
    if (files.RenameNoOverwrite(temporary, folder + name)) return name;
    // The rename failed for another reason than a taken name: the copy stays
    // under its temporary name rather than being lost.
    if (!files.Exists(folder + name)) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace wpl::records
