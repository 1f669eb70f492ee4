// SQLite: one file in WAL mode with synchronous writes (a commit is on disk
// when it returns), statements prepared once and kept.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>

#include "sql_connection.h"

namespace collect {
namespace {

class SqliteConnection : public SqlConnection {
 public:
  explicit SqliteConnection(const std::string& path) : path_(path) {
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
    for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
    if (lockFd_ >= 0) ::close(lockFd_);
  }

  std::vector<SqlRow> Run(const std::string& sql, const std::vector<SqlValue>& params) override {
    sqlite3_stmt* stmt = Prepare(sql);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (size_t i = 0; i < params.size(); ++i) {
      const std::string name = "$" + std::to_string(i + 1);
      int at = sqlite3_bind_parameter_index(stmt, name.c_str());
      if (at == 0) continue;  // not used by this statement
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

 private:
  sqlite3_stmt* Prepare(const std::string& sql) {
    if (auto it = statements_.find(sql); it != statements_.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) Fail(sql);
    statements_[sql] = stmt;
    return stmt;
  }
  [[noreturn]] void Fail(const std::string& sql) {
    throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db_) + " (" + sql.substr(0, 60) +
                     ")");
  }

  std::string path_;
  sqlite3* db_ = nullptr;
  std::map<std::string, sqlite3_stmt*> statements_;
  int lockFd_ = -1;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path) {
  return std::make_unique<SqliteConnection>(path);
}

}  // namespace collect
