#include "record_fields.h"

#include <cstdlib>
#include <ctime>
#include <mutex>

#include "records/clocking_record.h"

namespace collect {
namespace {

// The zone of the C library is one setting of the process: every reading of
// another zone takes this lock around setting TZ and reading the time. TZ is
// never removed, only given another value (the host's zone is
// ":/etc/localtime" when the process had none): glibc then swaps one string
// and never moves the environment under a thread reading another variable.
std::mutex g_zoneMutex;

std::tm InZone(int64_t unixSeconds, const std::string& zone) {
  static const std::string hostZone = [] {
    const char* tz = std::getenv("TZ");
    return std::string(tz ? tz : ":/etc/localtime");
  }();
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  std::lock_guard lock(g_zoneMutex);
  ::setenv("TZ", zone.empty() ? hostZone.c_str() : zone.c_str(), 1);
  ::tzset();
  localtime_r(&t, &tm);
  ::setenv("TZ", hostZone.c_str(), 1);
  ::tzset();
  return tm;
}

bool DayAfter(int y, int m, int d, const Day& ref) {
  if (y != ref.year) return y > ref.year;
  if (m != ref.month) return m > ref.month;
  return d > ref.day;
}

}  // namespace

int RealYear(int yearField, int month, int day, const Day& downloaded) {
  const int remainder = yearField % 16;
  int year = downloaded.year - ((downloaded.year - remainder) % 16 + 16) % 16;
  if (DayAfter(year, month, day, downloaded)) year -= 16;
  return year;
}

RecordFields DecodeFields(const Raw& raw, const Day& downloaded) {
  const auto r = wpl::records::DecodeRecord(raw.data());
  RecordFields f;
  f.person = r.number;
  f.tag = wpl::records::Tag(r, wpl::records::TagRule::kSixtyElseThirty);
  // The library's own test, but for the year: every year field names a real
  // year once the download day is known.
  if (r.month >= 1 && r.month <= 12 && r.day >= 1 && r.day <= 31 && r.hour <= 23 &&
      r.minute <= 59) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00",
                  RealYear(r.year, r.month, r.day, downloaded), r.month, r.day, r.hour, r.minute);
    f.time = text;
  }
  return f;
}

std::string RawHex(const Raw& raw) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : raw) {
    s += kHex[b >> 4];
    s += kHex[b & 15];
  }
  return s;
}

std::optional<Raw> RawFromHex(const std::string& hex) {
  if (hex.size() != 12) return std::nullopt;
  Raw raw{};
  for (size_t i = 0; i < 12; ++i) {
    const char c = hex[i];
    int v = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : -1;
    if (v < 0) return std::nullopt;
    raw[i / 2] = static_cast<uint8_t>(raw[i / 2] << 4 | v);
  }
  return raw;
}

Day LocalDay(int64_t unixSeconds, const std::string& zone) {
  const std::tm tm = InZone(unixSeconds, zone);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

int64_t LocalWallSeconds(int64_t unixSeconds, const std::string& zone) {
  std::tm tm = InZone(unixSeconds, zone);
  return static_cast<int64_t>(timegm(&tm));
}

std::string UtcText(int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char out[32];
  std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return out;
}

std::string DayText(const Day& d) {
  char out[16];
  std::snprintf(out, sizeof out, "%04d-%02d-%02d", d.year, d.month, d.day);
  return out;
}

int64_t NowUtc() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace collect
