// A PostgreSQL server of the test's own: initdb into a temporary folder (as
// the unprivileged user nobody when the tests run as root, since the server
// refuses to run as root), listening only on a unix socket in that folder,
// stopped and removed at the end.
#pragma once
#include <glob.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace collect::testing {

class PgServer {
 public:
  PgServer() {
    bin_ = FindBin();
    char tmpl[] = "/tmp/pclog-pg-XXXXXX";
    if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      if (!nobody || ::chown(dir_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
        throw std::runtime_error("cannot hand the folder to nobody");
      as_ = "runuser -u nobody -- ";
    }
    Shell(bin_ + "/initdb -D " + dir_ + "/data -A trust -U pclog -E UTF8 --no-sync >" + dir_ +
          "/initdb.log 2>&1");
    Start();
  }
  ~PgServer() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  void Start() {
    Shell(bin_ + "/pg_ctl -D " + dir_ + "/data -l " + dir_ + "/server.log -w -o \"-k " + dir_ +
          " -c listen_addresses='' -c fsync=off -p 5432\" start >/dev/null");
    running_ = true;
  }
  void Stop() {
    if (!running_) return;
    running_ = false;
    std::system(
        (as_ + bin_ + "/pg_ctl -D " + dir_ + "/data -m immediate -w stop >/dev/null 2>&1").c_str());
  }
  // The URI of a database, made fresh when it does not exist.
  std::string Database(const std::string& name) {
    PGconn* c = PQconnectdb(Uri("postgres").c_str());
    if (PQstatus(c) != CONNECTION_OK) {
      PQfinish(c);
      throw std::runtime_error("cannot reach the test server");
    }
    PQclear(PQexec(c, ("DROP DATABASE IF EXISTS " + name).c_str()));
    PQclear(PQexec(c, ("CREATE DATABASE " + name).c_str()));
    PQfinish(c);
    return Uri(name);
  }
  std::string Uri(const std::string& db) const {
    return "postgresql:///" + db + "?host=" + dir_ + "&port=5432&user=pclog";
  }

 private:
  static std::string FindBin() {
    glob_t g{};
    std::string found;
    if (::glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &g) == 0 && g.gl_pathc > 0)
      found = std::filesystem::path(g.gl_pathv[g.gl_pathc - 1]).parent_path().string();
    ::globfree(&g);
    if (found.empty()) throw std::runtime_error("no PostgreSQL server installed");
    return found;
  }
  void Shell(const std::string& command) {
    if (std::system((as_ + command).c_str()) != 0) throw std::runtime_error("failed: " + command);
  }
  std::string bin_, dir_, as_;
  bool running_ = false;
};

}  // namespace collect::testing
