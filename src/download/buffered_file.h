// Appends to a record file in large writes. A download appends one packet
// at a time, 6 to 168 bytes; a system call each costs a good part of the
// packet's round trip on a fast network. What is buffered reaches the file
// on Flush() and, at the latest, when the buffer is destroyed, so the file
// holds every accepted packet on every path. Write-only: Read and Seek fail.
#pragma once
#include <span>
#include <vector>

#include "platform/files.h"

namespace wpl::download {

class BufferedFile : public File {
 public:
  explicit BufferedFile(File& file, size_t capacity = 64 * 1024)
      : file_(file), capacity_(capacity) {
    buffer_.reserve(capacity_);
  }
  ~BufferedFile() override { Flush(); }
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  bool Write(std::span<const uint8_t> bytes) override {
    if (buffer_.size() + bytes.size() > capacity_ && !Flush()) return false;
    if (bytes.size() >= capacity_) return file_.Write(bytes);
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    return true;
  }
  // Writes what is buffered; false when the file refused it (it is dropped:
  // the download fails either way).
  bool Flush() {
    if (buffer_.empty()) return true;
    const bool ok = file_.Write(buffer_);
    buffer_.clear();
    return ok;
  }
  int64_t Read(std::span<uint8_t>) override { return -1; }
  bool Seek(int64_t) override { return false; }
  int64_t Size() override { return Flush() ? file_.Size() : -1; }

 private:
  File& file_;
  size_t capacity_;
  std::vector<uint8_t> buffer_;
};

}  // namespace wpl::download
