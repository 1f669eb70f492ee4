#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>

#include "platform/system.h"

namespace wpl {
namespace {

// ReadFile and WriteFile move at most a DWORD at a time.
constexpr size_t kChunk = 1u << 30;

class Win32File : public File {
 public:
  explicit Win32File(HANDLE h) : h_(h) {}
  ~Win32File() override { CloseHandle(h_); }

  int64_t Read(std::span<uint8_t> out) override {
    size_t got = 0;
    while (got < out.size()) {
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(std::min(out.size() - got, kChunk));
      if (!ReadFile(h_, out.data() + got, want, &n, nullptr))
        return got ? static_cast<int64_t>(got) : -1;
      if (n == 0) break;
      got += n;
    }
    return static_cast<int64_t>(got);
  }

  bool Write(std::span<const uint8_t> bytes) override {
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(std::min(bytes.size() - done, kChunk));
      if (!WriteFile(h_, bytes.data() + done, want, &n, nullptr) || n == 0) return false;
      done += n;
    }
    return true;
  }

  bool Seek(int64_t offset) override {
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    return SetFilePointerEx(h_, to, nullptr, FILE_BEGIN) != 0;
  }

  int64_t Size() override {
    LARGE_INTEGER size{};
    return GetFileSizeEx(h_, &size) ? static_cast<int64_t>(size.QuadPart) : -1;
  }

 private:
  HANDLE h_;
};

// Share mode 0: no other opener, of this library or any program, gets the
// file while it is open here.
std::unique_ptr<File> OpenExclusive(const std::string& path, DWORD access, DWORD disposition) {
  HANDLE h =
      CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

}  // namespace

std::unique_ptr<File> SystemFileSystem::OpenRead(const std::string& path) {
  return OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
}

std::unique_ptr<File> SystemFileSystem::OpenReadWrite(const std::string& path) {
  return OpenExclusive(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
}

std::unique_ptr<File> SystemFileSystem::Create(const std::string& path) {
  return OpenExclusive(path, GENERIC_WRITE, CREATE_ALWAYS);
}

std::unique_ptr<File> SystemFileSystem::CreateNew(const std::string& path) {
  return OpenExclusive(path, GENERIC_WRITE, CREATE_NEW);
}

bool SystemFileSystem::Exists(const std::string& path) {
  return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool SystemFileSystem::IsDirectory(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool SystemFileSystem::MakeDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool SystemFileSystem::CopyNoOverwrite(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), TRUE) != 0;
}

bool SystemFileSystem::RenameNoOverwrite(const std::string& from, const std::string& to) {
  // MoveFile refuses an existing target.
  return MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool SystemFileSystem::Replace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

char SystemFileSystem::Separator() const { return '\\'; }

}  // namespace wpl
