#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/system.h"

namespace wpl {
namespace {

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }

  int64_t Read(std::span<uint8_t> out) override {
    size_t got = 0;
    while (got < out.size()) {
      ssize_t n = ::read(fd_, out.data() + got, out.size() - got);
      if (n > 0) {
        got += static_cast<size_t>(n);
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        return got ? static_cast<int64_t>(got) : -1;
      }
    }
    return static_cast<int64_t>(got);
  }

  bool Write(std::span<const uint8_t> bytes) override {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        return false;
      }
    }
    return true;
  }

  bool Seek(int64_t offset) override { return ::lseek(fd_, offset, SEEK_SET) == offset; }

  int64_t Size() override {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
  }

 private:
  int fd_;
};

// Opens and takes the exclusive lock that stands for "no sharing"; a file held
// by another opener of this library fails to open.
std::unique_ptr<File> OpenLocked(const std::string& path, int flags, bool truncate) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  // Emptied only once the lock is ours, so a refused create never destroys
  // what another holder is writing.
  if (truncate && ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd);
}

}  // namespace

std::unique_ptr<File> SystemFileSystem::OpenRead(const std::string& path) {
  return OpenLocked(path, O_RDONLY, false);
}

std::unique_ptr<File> SystemFileSystem::OpenReadWrite(const std::string& path) {
  return OpenLocked(path, O_RDWR, false);
}

std::unique_ptr<File> SystemFileSystem::Create(const std::string& path) {
  return OpenLocked(path, O_WRONLY | O_CREAT, true);
}

std::unique_ptr<File> SystemFileSystem::CreateNew(const std::string& path) {
  return OpenLocked(path, O_WRONLY | O_CREAT | O_EXCL, false);
}

bool SystemFileSystem::Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool SystemFileSystem::IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SystemFileSystem::MakeDirectory(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0;
}

bool SystemFileSystem::CopyNoOverwrite(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  PosixFile src(in), dst(out);
  std::vector<uint8_t> buf(1 << 16);
  for (;;) {
    int64_t n = src.Read(buf);
    if (n == 0) return true;
    if (n < 0 || !dst.Write(std::span(buf.data(), static_cast<size_t>(n)))) {
      // Like CopyFile: a failed copy leaves no partial file behind.
      ::unlink(to.c_str());
      return false;
    }
  }
}

bool SystemFileSystem::RenameNoOverwrite(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE: link refuses an existing target.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  return ::unlink(from.c_str()) == 0;
}

bool SystemFileSystem::Replace(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

char SystemFileSystem::Separator() const { return '/'; }

}  // namespace wpl
