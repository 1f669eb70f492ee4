// Files and folders: exclusive opens, whole-buffer reads and writes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace wpl {

class File {
 public:
  virtual ~File() = default;
  // Bytes read (0 at end of file), or -1 on error.
  virtual int64_t Read(std::span<uint8_t> out) = 0;
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  virtual bool Seek(int64_t offset) = 0;
  virtual int64_t Size() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens an existing file for reading, denying every other opener.
  virtual std::unique_ptr<File> OpenRead(const std::string& path) = 0;
  // Opens an existing file for reading and writing, exclusively.
  virtual std::unique_ptr<File> OpenReadWrite(const std::string& path) = 0;
  // Creates (or empties) a file for writing, exclusively.
  virtual std::unique_ptr<File> Create(const std::string& path) = 0;
  // Creates a file for writing, exclusively, only when there is none: an
  // existing file is left as it is and the call fails. (The default checks
  // first; the platforms make it one step.)
  virtual std::unique_ptr<File> CreateNew(const std::string& path) {
    return Exists(path) ? nullptr : Create(path);
  }
  virtual bool Exists(const std::string& path) = 0;
  virtual bool IsDirectory(const std::string& path) = 0;
  virtual bool MakeDirectory(const std::string& path) = 0;
  // Copies `from` to `to`; fails when `to` exists. A failed copy leaves
  // nothing at `to`.
  virtual bool CopyNoOverwrite(const std::string& from, const std::string& to) = 0;
  // Renames `from` to `to`; fails when `to` exists.
  virtual bool RenameNoOverwrite(const std::string& from, const std::string& to) = 0;
  // Puts `from` in the place of `to` in one step, replacing what was there:
  // a reader finds the old file or the new one, never a part of either.
  virtual bool Replace(const std::string& from, const std::string& to) = 0;
  // The separator of path components on this platform.
  virtual char Separator() const = 0;
};

}  // namespace wpl
