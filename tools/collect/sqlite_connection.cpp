// SQLite: one file in WAL mode with synchronous writes (a commit is on disk
// when it returns), statements prepared once and kept.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

#include "sql_connection.h"

namespace collect {
namespace {

class SqliteConnection : public SqlConnection {
 public:
  explicit SqliteConnection(const std::string& path) : path_(path) {
    // The file's folder is made when missing (a fresh state directory).
    std::error_code ec;
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      throw StoreError("cannot open " + path + ": " + why);
    }
    sqlite3_busy_timeout(db_, 10000);
    Run("PRAGMA journal_mode=WAL", {});
    Run("PRAGMA synchronous=FULL", {});
  }
  ~SqliteConnection() override {
    for (auto& [sql, s] : statements_) sqlite3_finalize(s.stmt);
    sqlite3_close(db_);
    if (lockFd_ >= 0) ::close(lockFd_);
  }

  std::vector<SqlRow> Run(const std::string& sql, const std::vector<SqlValue>& params) override {
    const Statement& prepared = Prepare(sql);
    sqlite3_stmt* stmt = prepared.stmt;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (size_t i = 0; i < params.size(); ++i) {
      if (i >= prepared.slots.size() || prepared.slots[i] == 0) continue;  // not used here
      const int at = prepared.slots[i];
      const SqlValue& v = params[i];
      int rc = SQLITE_OK;
      if (std::holds_alternative<std::nullptr_t>(v))
        rc = sqlite3_bind_null(stmt, at);
      else if (auto* n = std::get_if<int64_t>(&v))
        rc = sqlite3_bind_int64(stmt, at, *n);
      else {
        const std::string& s = std::get<std::string>(v);
        rc = sqlite3_bind_text(stmt, at, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      }
      if (rc != SQLITE_OK) Fail(sql);
    }
    std::vector<SqlRow> rows;
    for (;;) {
      const int rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        sqlite3_reset(stmt);
        Fail(sql);
      }
      SqlRow row;
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
          row.emplace_back();
        } else {
          const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
          row.emplace_back(std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, c))));
        }
      }
      rows.push_back(std::move(row));
    }
    sqlite3_reset(stmt);
    return rows;
  }

  void BeginWrite() override { Run("BEGIN IMMEDIATE", {}); }
  void Rollback() override {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }

  // A lock file beside the database, held with flock for the life of the
  // connection: the kernel lets go of it when the process dies, however.
  bool LockSite(const std::string& site) override {
    std::string name;
    for (char c : site) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    const std::string lock = path_ + ".site-" + name + ".lock";
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) throw StoreError("cannot create " + lock);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return false;
    }
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = fd;
    return true;
  }
  std::string Describe() const override { return "sqlite:" + path_; }
  const char* ForUpdate() const override { return ""; }
  size_t RowsPerInsert() const override { return 1; }

 private:
  // A prepared statement and, for each parameter $k, its slot: SQLite
  // numbers named parameters by first appearance, not by their names.
  struct Statement {
    sqlite3_stmt* stmt = nullptr;
    std::vector<int> slots;
  };
  const Statement& Prepare(const std::string& sql) {
    if (auto it = statements_.find(sql); it != statements_.end()) return it->second;
    Statement s;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s.stmt, nullptr) != SQLITE_OK) Fail(sql);
    for (int i = 1; i <= sqlite3_bind_parameter_count(s.stmt); ++i) {
      const char* name = sqlite3_bind_parameter_name(s.stmt, i);
      if (!name || name[0] != '$') continue;
      const size_t k = std::strtoul(name + 1, nullptr, 10);
      if (k == 0 || k > 100000) continue;
      if (s.slots.size() < k) s.slots.resize(k, 0);
      s.slots[k - 1] = i;
    }
    return statements_[sql] = std::move(s);
  }
  [[noreturn]] void Fail(const std::string& sql) {
    throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db_) + " (" + sql.substr(0, 60) +
                     ")");
  }

  std::string path_;
  sqlite3* db_ = nullptr;
  std::map<std::string, Statement> statements_;
  int lockFd_ = -1;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path) {
  return std::make_unique<SqliteConnection>(path);
}

}  // namespace collect
