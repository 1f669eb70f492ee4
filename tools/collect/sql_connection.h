// The two databases as the store needs them: statements with numbered
// parameters ($1, $2, ...), rows of text, transactions, and the few places
// where the dialects differ.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "store.h"

namespace collect {

using SqlValue = std::variant<std::nullptr_t, int64_t, std::string>;
using SqlRow = std::vector<std::optional<std::string>>;

class SqlConnection {
 public:
  virtual ~SqlConnection() = default;
  // Runs one statement; its rows. Throws StoreError.
  virtual std::vector<SqlRow> Run(const std::string& sql,
                                  const std::vector<SqlValue>& params = {}) = 0;
  // A transaction that writes: SQLite takes its write lock at once; both
  // serialise writers on the counters row.
  virtual void BeginWrite() = 0;
  virtual void Commit() { Run("COMMIT"); }
  virtual void Rollback() = 0;
  virtual bool LockSite(const std::string& site) = 0;
  virtual std::string Describe() const = 0;
  // "FOR UPDATE" where row locks exist.
  virtual const char* ForUpdate() const = 0;
  // Rows one INSERT carries: many where each statement is a round trip to a
  // server, one where a prepared statement runs in the process.
  virtual size_t RowsPerInsert() const = 0;
};

std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path);
std::unique_ptr<SqlConnection> OpenPostgres(const std::string& uri);

}  // namespace collect
