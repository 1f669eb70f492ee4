#include "spool.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstring>
#include <fstream>
#include <sstream>

#include "failpoints.h"

namespace collect {
namespace {

bool MakeFolders(const std::string& path) {
  std::string at;
  std::stringstream parts(path);
  for (std::string part; std::getline(parts, part, '/');) {
    at += part + "/";
    if (part.empty()) continue;
    if (::mkdir(at.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::atomic<bool> Spool::failWrites{false};

std::string FileNameOf(const std::string& id) {
  std::string out;
  for (unsigned char c : id) {
    if (std::isalnum(c) || c == '-' || c == '_' || (c == '.' && !out.empty())) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string Spool::TerminalFolder(const std::string& terminal) const {
  return folder_ + "/" + FileNameOf(terminal);
}

namespace {
std::string StampName(std::atomic<uint64_t>& counter) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  char name[64];
  std::snprintf(name, sizeof name, "%020lld-%06llu",
                static_cast<long long>(std::chrono::nanoseconds(now).count()),
                static_cast<unsigned long long>(counter++ % 1000000));
  return name;
}
}  // namespace

std::string Spool::NewKey(const std::string& terminal) {
  return terminal + "/" + StampName(counter_) + "-" + std::to_string(::getpid());
}

std::string Spool::Write(Batch& b, std::string& error) {
  // Named by time, so that a terminal's batches are committed in order.
  const std::string name = StampName(counter_);
  if (b.key.empty()) b.key = NewKey(b.terminal);
  const std::string folder = TerminalFolder(b.terminal);
  const std::string path = folder + "/" + name + ".batch";
  const std::string temp = path + ".part";
  std::ostringstream text;
  text << "pclog-batch 1\nterminal " << b.terminal << "\nsource "
       << (b.source == Source::kLive ? "live" : "download") << "\nkey " << b.key << "\nreceived "
       << b.receivedUtc << "\nday " << DayText(b.day) << "\nrecords " << b.records.size() << "\n";
  for (const Raw& r : b.records) text << RawHex(r) << "\n";
  text << "end\n";
  if (failWrites || Failpoints::Fails("spool-write")) {
    error = "spool: no space left on device";
    return {};
  }
  if (!MakeFolders(folder)) {
    error = "spool: cannot create " + folder + ": " + std::strerror(errno);
    return {};
  }
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "spool: cannot create " + temp + ": " + std::strerror(errno);
    return {};
  }
  const bool written = WriteAll(fd, text.str()) && ::fsync(fd) == 0;
  const int saved = errno;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0 || !SyncFolder(folder)) {
    error =
        std::string("spool: cannot write ") + path + ": " + std::strerror(written ? errno : saved);
    ::unlink(temp.c_str());
    return {};
  }
  return path;
}

std::vector<Spool::Entry> Spool::Pending(const std::string& terminal) {
  std::vector<Entry> out;
  const std::string folder = TerminalFolder(terminal);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return out;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string n = e->d_name;
    if (n.size() > 6 && n.ends_with(".batch"))
      names.push_back(n);
    else if (n.ends_with(".part"))
      ::unlink((folder + "/" + n).c_str());  // never finished
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    const std::string path = folder + "/" + n;
    std::ifstream in(path);
    Entry entry{path, {}};
    Batch& b = entry.batch;
    std::string word, line;
    bool ended = false, ok = true;
    size_t count = 0;
    while (ok && std::getline(in, line)) {
      if (line == "end") {
        ended = true;
        break;
      }
      std::istringstream fields(line);
      fields >> word;
      std::string rest;
      std::getline(fields >> std::ws, rest);
      if (word == "pclog-batch") continue;
      if (word == "terminal")
        b.terminal = rest;
      else if (word == "source")
        b.source = rest == "live" ? Source::kLive : Source::kDownload;
      else if (word == "key")
        b.key = rest;
      else if (word == "received")
        ok = std::sscanf(rest.c_str(), "%" SCNd64, &b.receivedUtc) == 1;
      else if (word == "day")
        ok = std::sscanf(rest.c_str(), "%d-%d-%d", &b.day.year, &b.day.month, &b.day.day) == 3;
      else if (word == "records")
        ok = std::sscanf(rest.c_str(), "%zu", &count) == 1;
      else if (auto raw = RawFromHex(word))
        b.records.push_back(*raw);
      else
        ok = false;
    }
    if (ok && ended && b.terminal != terminal) continue;  // not this terminal's: left alone
    if (!ended || !ok || b.records.size() != count) {
      // Not a whole batch. Its terminal has not been cleared since (no
      // download runs while a batch waits here), so it still holds the
      // records: the file is set aside, for a person to look at.
      ::rename(path.c_str(), (path + ".bad").c_str());
      continue;
    }
    out.push_back(std::move(entry));
  }
  return out;
}

bool Spool::Remove(const std::string& path) {
  const bool ok = ::unlink(path.c_str()) == 0;
  const auto slash = path.rfind('/');
  if (ok && slash != std::string::npos) SyncFolder(path.substr(0, slash));
  return ok;
}

}  // namespace collect
