// PostgreSQL through libpq: text parameters and results, a lost connection
// reopened at the next statement outside a transaction, and the site lock
// as a session advisory lock (it goes with the session, however that ends).
#include <libpq-fe.h>

#include "sql_connection.h"

namespace collect {
namespace {

class PgConnection : public SqlConnection {
 public:
  explicit PgConnection(const std::string& uri) : uri_(uri) { Connect(); }
  ~PgConnection() override {
    if (conn_) PQfinish(conn_);
  }

  std::vector<SqlRow> Run(const std::string& sql, const std::vector<SqlValue>& params) override {
    if (!inTransaction_ && (!conn_ || PQstatus(conn_) != CONNECTION_OK)) Reconnect();
    try {
      return Execute(sql, params);
    } catch (const StoreError&) {
      // A server restarted since the last statement shows only now; outside
      // a transaction nothing is lost by asking again on a new session.
      if (inTransaction_ || PQstatus(conn_) == CONNECTION_OK) throw;
    }
    Reconnect();
    return Execute(sql, params);
  }

  std::vector<SqlRow> Execute(const std::string& sql, const std::vector<SqlValue>& params) {
    std::vector<std::string> texts(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    for (size_t i = 0; i < params.size(); ++i) {
      if (auto* n = std::get_if<int64_t>(&params[i])) {
        texts[i] = std::to_string(*n);
        values[i] = texts[i].c_str();
      } else if (auto* s = std::get_if<std::string>(&params[i])) {
        values[i] = s->c_str();
      }
    }
    PGresult* res = PQexecParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr,
                                 values.data(), nullptr, nullptr, 0);
    const ExecStatusType st = PQresultStatus(res);
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) {
      const std::string why = PQresultErrorMessage(res);
      PQclear(res);
      throw StoreError("postgresql: " + Trim(why.empty() ? PQerrorMessage(conn_) : why));
    }
    std::vector<SqlRow> rows;
    for (int r = 0; r < PQntuples(res); ++r) {
      SqlRow row;
      for (int c = 0; c < PQnfields(res); ++c) {
        if (PQgetisnull(res, r, c))
          row.emplace_back();
        else
          row.emplace_back(
              std::string(PQgetvalue(res, r, c), static_cast<size_t>(PQgetlength(res, r, c))));
      }
      rows.push_back(std::move(row));
    }
    PQclear(res);
    return rows;
  }

  void BeginWrite() override {
    Run("BEGIN", {});
    inTransaction_ = true;
  }
  void Commit() override {
    inTransaction_ = false;
    Run("COMMIT", {});
  }
  void Rollback() override {
    inTransaction_ = false;
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
  }
  bool LockSite(const std::string& site) override {
    site_ = site;
    return TakeSiteLock();
  }
  std::string Describe() const override { return "postgresql"; }
  const char* ForUpdate() const override { return " FOR UPDATE"; }
  size_t RowsPerInsert() const override { return 200; }

 private:
  static std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
  }
  void Connect() {
    conn_ = PQconnectdb(uri_.c_str());
    if (PQstatus(conn_) != CONNECTION_OK) {
      const std::string why = Trim(PQerrorMessage(conn_));
      PQfinish(conn_);
      conn_ = nullptr;
      throw StoreError("postgresql: " + why);
    }
    PQclear(PQexec(conn_, "SET client_min_messages = warning"));
  }
  // A new session has lost the advisory lock of the old one: it is taken
  // again, and when another collector took it meanwhile this one must not
  // write.
  void Reconnect() {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
    Connect();
    if (!site_.empty() && !TakeSiteLock())
      throw StoreError("another collector holds site " + site_ + " on this store");
  }
  bool TakeSiteLock() {
    const char* values[] = {site_.c_str()};
    PGresult* res =
        PQexecParams(conn_, "SELECT pg_try_advisory_lock(7263, hashtext('pclog site ' || $1))", 1,
                     nullptr, values, nullptr, nullptr, 0);
    const bool ok = PQresultStatus(res) == PGRES_TUPLES_OK && PQntuples(res) == 1 &&
                    std::string(PQgetvalue(res, 0, 0)) == "t";
    PQclear(res);
    return ok;
  }

  std::string uri_;
  PGconn* conn_ = nullptr;
  bool inTransaction_ = false;
  std::string site_;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenPostgres(const std::string& uri) {
  return std::make_unique<PgConnection>(uri);
}

}  // namespace collect
