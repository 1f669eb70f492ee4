// A FileSystem that passes everything to another one but can refuse the next
// opens and creates, and counts them: for the retry rules of the file
// conversions.
#pragma once
#include <memory>
#include <string>

#include "platform/files.h"

namespace wpl::testing {

class FaultyFiles : public FileSystem {
 public:
  explicit FaultyFiles(FileSystem& real) : real_(real) {}

  // How many of the coming OpenRead / Create calls fail.
  int refuseOpens = 0;
  int refuseCreates = 0;
  // Created files refuse every write (a full disk), or every seek.
  bool brokenWrites = false;
  bool brokenSeeks = false;
  int opens = 0, creates = 0;

  std::unique_ptr<File> OpenRead(const std::string& path) override {
    ++opens;
    if (refuseOpens > 0) {
      --refuseOpens;
      return nullptr;
    }
    return real_.OpenRead(path);
  }
  std::unique_ptr<File> OpenReadWrite(const std::string& path) override {
    return real_.OpenReadWrite(path);
  }
  std::unique_ptr<File> Create(const std::string& path) override {
    ++creates;
    if (refuseCreates > 0) {
      --refuseCreates;
      return nullptr;
    }
    auto file = real_.Create(path);
    if (file && (brokenWrites || brokenSeeks))
      return std::make_unique<Unwritable>(std::move(file), brokenWrites, brokenSeeks);
    return file;
  }
  bool Exists(const std::string& path) override { return real_.Exists(path); }
  bool IsDirectory(const std::string& path) override { return real_.IsDirectory(path); }
  bool MakeDirectory(const std::string& path) override { return real_.MakeDirectory(path); }
  bool CopyNoOverwrite(const std::string& from, const std::string& to) override {
    return real_.CopyNoOverwrite(from, to);
  }
  bool RenameNoOverwrite(const std::string& from, const std::string& to) override {
    return real_.RenameNoOverwrite(from, to);
  }
  bool Replace(const std::string& from, const std::string& to) override {
    return real_.Replace(from, to);
  }
  char Separator() const override { return real_.Separator(); }

 private:
  class Unwritable : public File {
   public:
    Unwritable(std::unique_ptr<File> file, bool writes, bool seeks)
        : file_(std::move(file)), writes_(writes), seeks_(seeks) {}
    int64_t Read(std::span<uint8_t> out) override { return file_->Read(out); }
    bool Write(std::span<const uint8_t> b) override { return !writes_ && file_->Write(b); }
    bool Seek(int64_t offset) override { return !seeks_ && file_->Seek(offset); }
    int64_t Size() override { return file_->Size(); }

   private:
    std::unique_ptr<File> file_;
    bool writes_, seeks_;
  };

  FileSystem& real_;
};

}  // namespace wpl::testing
