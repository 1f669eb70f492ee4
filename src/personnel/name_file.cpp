#include "personnel/name_file.h"

#include <algorithm>

#include "records/format.h"

namespace wpl::personnel {
namespace {

constexpr uint8_t kFiller = 0xFF;
// The host's file may be held by another of its calls: it is opened again
// after 100 ms, five times in all, before it is made.
constexpr int kOpenAttempts = 5;
constexpr int kCreateAttempts = 15;
constexpr Millis kRetryPause{100};
// Gives the terminal conversation that loaded the name time to end first.
constexpr Millis kSettlePause{300};
constexpr const char* kCannotCreate = "can not creat file!";
constexpr const char* kOpenError = "Open Error";

// Opens the day's file, or makes it when there is none; an existing file is
// never emptied (another caller may have made it in the meantime).
std::unique_ptr<File> OpenOrMake(Env& env, const std::string& path) {
  for (int i = 0; i < kOpenAttempts; ++i) {
    if (auto f = env.files->OpenReadWrite(path)) return f;
    env.clock->Sleep(kRetryPause);
  }
  for (int i = 0; i < kCreateAttempts; ++i) {
    if (auto f = env.files->CreateNew(path)) return f;
    if (auto f = env.files->OpenReadWrite(path)) return f;
    env.ui->ShowMessage(kCannotCreate, kOpenError);
    env.clock->Sleep(kRetryPause);
  }
  return nullptr;
}

// Appends one record at the end of the file at `path`.
int32_t AppendRecord(Env& env, const std::string& path, const NameRecord& record) {
  auto file = OpenOrMake(env, path);
  if (!file) return 1;
  const int64_t end = file->Size();
  if (end < 0 || !file->Seek(end)) return 1;
  return file->Write(record) ? 0 : 1;
}

}  // namespace

std::string NameFilePath(const std::string& prefix, const LocalTime& now) {
  return prefix + "NAM" + records::StampMonthDay(now) + ".DAT";
}

NameRecord BuildNameRecord(int32_t person, std::span<const uint8_t> name) {
  NameRecord r;
  r.fill(kFiller);
  const auto v = static_cast<uint32_t>(person);
  r[0] = static_cast<uint8_t>(v >> 8);
  r[1] = static_cast<uint8_t>(v);
  std::copy_n(name.begin(), std::min(name.size(), kNameRecordName), r.begin() + 2);
  return r;
}

int32_t CopyName(Env& env, const std::string& prefix, int32_t person,
                 std::span<const uint8_t> name) {
  // The day is the day of the call.
  const LocalTime now = env.clock->Local();
  env.clock->Sleep(kSettlePause);
  return AppendRecord(env, NameFilePath(prefix, now), BuildNameRecord(person, name));
}

int32_t AppendName(Env& env, const std::string& prefix, int32_t person,
                   std::span<const uint8_t> name) {
  return AppendRecord(env, NameFilePath(prefix, env.clock->Local()), BuildNameRecord(person, name));
}

std::vector<NameEntry> ParseNameFile(std::span<const uint8_t> bytes) {
  std::vector<NameEntry> out;
  for (size_t at = 0; at + kNameRecordSize <= bytes.size(); at += kNameRecordSize) {
    const auto r = bytes.subspan(at, kNameRecordSize);
    auto name = r.subspan(2);
    // The filler follows the name; a name byte 0xFF is no character of the
    // terminals' code pages.
    const auto end = std::find(name.begin(), name.end(), kFiller);
    out.push_back({static_cast<uint16_t>(r[0] << 8 | r[1]), {name.begin(), end}});
  }
  return out;
}

}  // namespace wpl::personnel
