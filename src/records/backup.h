// Dated copies kept in the backup folder: "k" + MMDDhhmmss + "_" + key +
// extension, e.g. k0517140309_35.txt.
//
// A backup is never lost and never replaced by an older file. The copy goes
// to a temporary name of its own (`<final name>.part<n>`, created exclusively)
// and is then renamed, refusing to overwrite, to its final name; when that
// name is taken (another conversion in the same second with the same key, in
// this process or another) the next free name of the series
// k0517140309_35-2.txt, k0517140309_35-3.txt, ... is taken instead. Names
// keep their plain form whenever there is no clash.
#pragma once
#include <optional>
#include <string>

#include "platform/env.h"

namespace wpl::records {

// The backup folder under `directory` (which ends with a separator), with its
// own trailing separator.
std::string BackupFolder(Env& env, const std::string& directory);

// Creates the folder when it does not exist; false if it still is not there.
bool EnsureFolder(Env& env, const std::string& folder);

// The name for the n-th backup of one stamp and key: n = 1 is the plain
// name, n >= 2 adds "-n" before the extension.
std::string BackupName(const std::string& stamp, const std::string& key,
                       const std::string& extension, int n = 1);

// Copies `source` into `folder` under the backup name for the current local
// time. Returns the name given, or nothing when the source could not be
// copied or no name was free.
std::optional<std::string> BackupCopy(Env& env, const std::string& source,
                                      const std::string& folder, const std::string& key,
                                      const std::string& extension);

}  // namespace wpl::records
