// The spool: batches the store refused, on disk (and synced) until they are
// committed. A batch left there by a store that was down (or by a commit
// whose answer was lost) is committed at the next chance; its key tells the
// store whether it got there before.
//
// One file per batch in a folder per terminal, written under a temporary
// name, synced, renamed and the folder synced: a file under its final name
// is whole, and a temporary one a crash left is removed. A file that does
// not read as a whole batch is renamed to .bad and left for a person: its
// terminal still holds the records, since no download (and so no clear)
// runs while a batch of its terminal waits here.
#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "store.h"

namespace collect {

class Spool {
 public:
  explicit Spool(std::string folder) : folder_(std::move(folder)) {}

  // A key no other batch has: the terminal, the time, a count, the process.
  std::string NewKey(const std::string& terminal);
  // Writes the batch (giving it a key when it has none); the file's path, or
  // empty with `error` set when the disk refused.
  std::string Write(Batch& batch, std::string& error);
  // The batches waiting for a terminal, oldest first, with their files.
  struct Entry {
    std::string path;
    Batch batch;
  };
  std::vector<Entry> Pending(const std::string& terminal);
  bool Remove(const std::string& path);
  const std::string& folder() const { return folder_; }

  // Test and failure seam: make the next writes fail as on a full disk.
  static std::atomic<bool> failWrites;

 private:
  std::string TerminalFolder(const std::string& terminal) const;
  std::string folder_;
  std::atomic<uint64_t> counter_{0};
};

// Encodes a terminal id as a file name: letters, digits, '-', '_' and '.'
// stay, every other byte becomes %XX.
std::string FileNameOf(const std::string& id);

}  // namespace collect
