// Runs pclog-sim as a child process for the duration of a test.
#pragma once
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace wpl::e2e {

class SimProcess {
 public:
  // Starts pclog-sim with `args` and waits until `readyPath` exists (the pty
  // link or whatever the simulator creates last). WPL_PCLOG_SIM names
  // another simulator binary: a run of hours keeps its own copy while the
  // build tree is rebuilt.
  SimProcess(std::vector<std::string> args, const std::string& readyPath) {
    const char* other = std::getenv("WPL_PCLOG_SIM");
    args.insert(args.begin(), other && *other ? other : PCLOG_SIM);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    for (int i = 0; i < 500; ++i) {
      struct stat st {};
      if (::lstat(readyPath.c_str(), &st) == 0) return;
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        throw std::runtime_error("pclog-sim exited early");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    throw std::runtime_error("pclog-sim did not come up");
  }
  ~SimProcess() { Stop(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // SIGTERM and wait; returns the exit status, -1 when it did not exit cleanly.
  int Stop() {
    if (pid_ <= 0) return exitCode_;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitCode_;
  }

 private:
  pid_t pid_ = -1;
  int exitCode_ = -1;
};

// A temporary folder holding the port links; points W_PCLOG_COM1..6 at
// paths inside it, so no test ever opens a real serial device.
class PortFolder {
 public:
  PortFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "wpl-e2e-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    for (int n = 1; n <= 9; ++n)
      ::setenv(("W_PCLOG_COM" + std::to_string(n)).c_str(), Port(n).c_str(), 1);
    ::setenv("W_PCLOG_DIR", (dir_ + "/").c_str(), 1);
  }
  ~PortFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Port(int n) const { return dir_ + "/com" + std::to_string(n); }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

// One pclog-sim for a benchmark: a terminal on a pty at port `port` and one
// on loopback at `ip`, up once the simulator says so.
struct SimSite {
  SimSite(const std::string& ip, int port)
      : sim({"--link", ports.Port(port), "--tcp", ip, "--ready", ready}, ready) {}
  PortFolder ports;
  std::string ready = ports.dir() + "/ready";
  SimProcess sim;
};

}  // namespace wpl::e2e
