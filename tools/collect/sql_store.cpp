// The store over either database. The logic is one: the statements are
// plain SQL that both dialects run; where they differ the connection says.
//
// Ids in commit order: every writing transaction first locks the counters
// row and takes its record ids from it, so a transaction that got higher ids
// waited for the one before it to commit. A reader that sees id N has seen
// every id below it, on PostgreSQL as on SQLite, and `--after ID` (or a
// named consumer) never skips a record that commits late.
#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

#include "sql_connection.h"

namespace collect {
namespace {

constexpr const char* kSourceText[] = {"download", "live"};

// Each step of the schema, applied once, in order, in one transaction with
// the version it reaches.
const std::vector<std::vector<std::string>> kMigrations = {
    {
        "CREATE TABLE counters (name TEXT PRIMARY KEY, value BIGINT NOT NULL)",
        "INSERT INTO counters (name, value) VALUES ('record', 0), ('batch', 0)",
        "CREATE TABLE terminals (id TEXT PRIMARY KEY, generation BIGINT NOT NULL, "
        "known BIGINT NOT NULL, last_live TEXT)",
        "CREATE TABLE batches (id BIGINT PRIMARY KEY, terminal TEXT NOT NULL, "
        "source TEXT NOT NULL, spool_key TEXT UNIQUE, received_utc TEXT NOT NULL, "
        "records BIGINT NOT NULL, stored BIGINT NOT NULL, duplicates BIGINT NOT NULL)",
        "CREATE TABLE records (id BIGINT PRIMARY KEY, terminal TEXT NOT NULL, "
        "generation BIGINT, ordinal BIGINT, raw TEXT NOT NULL, person INTEGER NOT NULL, "
        "time TEXT, tag INTEGER NOT NULL, source TEXT NOT NULL, batch BIGINT NOT NULL, "
        "received_utc TEXT NOT NULL, live_seen INTEGER NOT NULL, "
        "UNIQUE (terminal, generation, ordinal))",
        "CREATE INDEX records_terminal_raw ON records (terminal, raw)",
        "CREATE INDEX records_time ON records (time)",
        "CREATE TABLE consumers (name TEXT PRIMARY KEY, last_id BIGINT NOT NULL)",
    },
};

int64_t Int(const std::optional<std::string>& v) { return v ? std::stoll(*v) : 0; }

class SqlStore : public Store {
 public:
  explicit SqlStore(std::unique_ptr<SqlConnection> db) : db_(std::move(db)) { Migrate(); }

  CommitResult Commit(const Batch& b) override {
    // The fields of every record are worked out before the store is taken:
    // other conversations' commits need not wait for it.
    Decoded d;
    for (const Raw& raw : b.records) {
      d.hex.push_back(RawHex(raw));
      d.fields.push_back(DecodeFields(raw, b.day));
    }
    std::lock_guard lock(mutex_);
    return InTransaction([&] { return b.source == Source::kLive ? Live(b, d) : Download(b, d); });
  }

  std::vector<RecordRow> Records(const RecordFilter& f) override {
    std::lock_guard lock(mutex_);
    std::string sql =
        "SELECT id, terminal, person, time, tag, raw, source, batch, received_utc FROM records "
        "WHERE id > $1";
    std::vector<SqlValue> p{f.afterId};
    auto add = [&](const std::string& clause, SqlValue v) {
      p.push_back(std::move(v));
      sql += " AND " + clause + " $" + std::to_string(p.size());
    };
    if (!f.since.empty()) add("time >=", f.since);
    // A prefix as the upper end takes everything that begins with it.
    if (!f.until.empty()) add("time <=", f.until + "~");
    if (!f.terminal.empty()) add("terminal =", f.terminal);
    if (f.person) add("person =", int64_t{*f.person});
    sql += " ORDER BY id";
    if (f.limit > 0) {
      p.push_back(int64_t{f.limit});
      sql += " LIMIT $" + std::to_string(p.size());
    }
    std::vector<RecordRow> out;
    for (const SqlRow& r : db_->Run(sql, p)) {
      RecordRow row;
      row.id = Int(r[0]);
      row.terminal = r[1].value_or("");
      row.person = static_cast<int>(Int(r[2]));
      row.time = r[3].value_or("");
      row.tag = static_cast<int>(Int(r[4]));
      row.raw = r[5].value_or("");
      row.source = r[6].value_or("");
      row.batch = Int(r[7]);
      row.receivedUtc = r[8].value_or("");
      out.push_back(std::move(row));
    }
    return out;
  }

  int64_t ConsumerPosition(const std::string& name) override {
    std::lock_guard lock(mutex_);
    const auto rows = db_->Run("SELECT last_id FROM consumers WHERE name = $1", {name});
    return rows.empty() ? 0 : Int(rows[0][0]);
  }
  void AdvanceConsumer(const std::string& name, int64_t lastId) override {
    std::lock_guard lock(mutex_);
    InTransaction([&] {
      db_->Run("INSERT INTO consumers (name, last_id) VALUES ($1, 0) ON CONFLICT (name) DO NOTHING",
               {name});
      db_->Run("UPDATE consumers SET last_id = $2 WHERE name = $1 AND last_id < $2",
               {name, lastId});
      return 0;
    });
  }
  bool LockSite(const std::string& site) override {
    std::lock_guard lock(mutex_);
    return db_->LockSite(site);
  }
  int SchemaVersion() override {
    std::lock_guard lock(mutex_);
    return static_cast<int>(Int(db_->Run("SELECT MAX(version) FROM schema_version")[0][0]));
  }
  std::string Describe() const override { return db_->Describe(); }

 private:
  template <class F>
  auto InTransaction(F&& f) -> decltype(f()) {
    db_->BeginWrite();
    try {
      db_->Run(std::string("SELECT value FROM counters WHERE name = 'record'") + db_->ForUpdate());
      auto result = f();
      db_->Commit();
      return result;
    } catch (...) {
      db_->Rollback();
      throw;
    }
  }

  void Migrate() {
    db_->Run("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    db_->BeginWrite();
    try {
      // Two collectors starting at once on one PostgreSQL: one migrates, the
      // other waits here and finds the work done.
      if (*db_->ForUpdate()) db_->Run("SELECT pg_advisory_xact_lock(7263, 1)");
      int version =
          static_cast<int>(Int(db_->Run("SELECT MAX(version) FROM schema_version")[0][0]));
      for (size_t v = static_cast<size_t>(version); v < kMigrations.size(); ++v) {
        for (const std::string& sql : kMigrations[v]) db_->Run(sql);
        db_->Run("INSERT INTO schema_version (version) VALUES ($1)", {int64_t(v + 1)});
      }
      db_->Commit();
    } catch (...) {
      db_->Rollback();
      throw;
    }
  }

  int64_t Take(const char* counter, int64_t count) {
    const auto rows = db_->Run(
        "UPDATE counters SET value = value + $2 WHERE name = $1 "
        "RETURNING value",
        {std::string(counter), count});
    return Int(rows.at(0)[0]) - count + 1;
  }

  struct TerminalRow {
    int64_t generation = 1, known = 0;
    std::optional<std::string> lastLive;
  };
  TerminalRow Terminal(const std::string& id) {
    auto rows = db_->Run("SELECT generation, known, last_live FROM terminals WHERE id = $1", {id});
    if (rows.empty()) {
      db_->Run("INSERT INTO terminals (id, generation, known) VALUES ($1, 1, 0)", {id});
      return {};
    }
    return {Int(rows[0][0]), Int(rows[0][1]), rows[0][2]};
  }

  // A replayed batch is known by its key: nothing of it is stored again.
  bool Replayed(const Batch& b, CommitResult& r) {
    if (b.key.empty()) return false;
    const auto rows = db_->Run("SELECT id FROM batches WHERE spool_key = $1", {b.key});
    if (rows.empty()) return false;
    r.batch = Int(rows[0][0]);
    r.duplicates = static_cast<int64_t>(b.records.size());
    r.replayed = true;
    return true;
  }

  struct NewRow {
    int64_t id;
    size_t at;  // the record's place in the batch
    std::optional<int64_t> generation, ordinal;
  };
  struct Decoded {
    std::vector<std::string> hex;
    std::vector<RecordFields> fields;
  };
  // On PostgreSQL rows go in statements of up to 200: one round trip for
  // each rather than one for every record.
  void Insert(const Batch& b, const Decoded& d, const std::vector<NewRow>& rows, int64_t batch) {
    const size_t kPerStatement = db_->RowsPerInsert();
    auto opt = [](std::optional<int64_t> v) { return v ? SqlValue(*v) : SqlValue(nullptr); };
    const std::string source = kSourceText[static_cast<int>(b.source)];
    const std::string received = UtcText(b.receivedUtc);
    for (size_t from = 0; from < rows.size(); from += kPerStatement) {
      const size_t n = std::min(kPerStatement, rows.size() - from);
      std::string sql =
          "INSERT INTO records (id, terminal, generation, ordinal, raw, person, time, tag, "
          "source, batch, received_utc, live_seen) VALUES ";
      std::vector<SqlValue> p;
      p.reserve(n * 12);
      for (size_t i = 0; i < n; ++i) {
        const NewRow& r = rows[from + i];
        const RecordFields& f = d.fields[r.at];
        sql += i ? ", (" : "(";
        for (int k = 1; k <= 12; ++k)
          sql += "$" + std::to_string(p.size() + k) + (k < 12 ? ", " : ")");
        for (SqlValue v : {SqlValue(r.id), SqlValue(b.terminal), opt(r.generation), opt(r.ordinal),
                           SqlValue(d.hex[r.at]), SqlValue(int64_t{f.person}),
                           f.time ? SqlValue(*f.time) : SqlValue(nullptr), SqlValue(int64_t{f.tag}),
                           SqlValue(source), SqlValue(batch), SqlValue(received),
                           SqlValue(int64_t{b.source == Source::kLive})})
          p.push_back(std::move(v));
      }
      db_->Run(sql, p);
    }
  }

  void AddBatch(const Batch& b, const CommitResult& r) {
    db_->Run(
        "INSERT INTO batches (id, terminal, source, spool_key, received_utc, records, "
        "stored, duplicates) VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
        {r.batch, b.terminal, std::string(kSourceText[static_cast<int>(b.source)]),
         b.key.empty() ? SqlValue(nullptr) : SqlValue(b.key), UtcText(b.receivedUtc),
         static_cast<int64_t>(b.records.size()), r.stored, r.duplicates});
  }

  CommitResult Download(const Batch& b, const Decoded& d) {
    CommitResult r;
    if (Replayed(b, r)) return r;
    TerminalRow t = Terminal(b.terminal);
    // The generation's records in their order, to see whether the list
    // continues them.
    const auto known = db_->Run(
        "SELECT raw FROM records WHERE terminal = $1 AND generation = $2 "
        "AND ordinal IS NOT NULL ORDER BY ordinal",
        {b.terminal, t.generation});
    bool continues = known.size() <= b.records.size();
    for (size_t i = 0; continues && i < known.size(); ++i) continues = known[i][0] == d.hex[i];
    size_t first = known.size();
    if (!continues) {
      ++t.generation;
      first = 0;
      r.newGeneration = true;
    }
    r.duplicates = static_cast<int64_t>(first);
    // Live records not yet placed, oldest first: the download places them.
    std::map<std::string, std::deque<int64_t>> unplaced;
    for (const SqlRow& row : db_->Run("SELECT id, raw FROM records WHERE terminal = $1 AND "
                                      "ordinal IS NULL ORDER BY id",
                                      {b.terminal}))
      unplaced[row[1].value_or("")].push_back(Int(row[0]));
    std::vector<size_t> fresh;
    for (size_t i = first; i < b.records.size(); ++i) {
      auto it = unplaced.find(d.hex[i]);
      if (it != unplaced.end() && !it->second.empty()) {
        db_->Run("UPDATE records SET generation = $2, ordinal = $3 WHERE id = $1",
                 {it->second.front(), t.generation, static_cast<int64_t>(i + 1)});
        it->second.pop_front();
        ++r.duplicates;
      } else {
        fresh.push_back(i);
      }
    }
    r.batch = Take("batch", 1);
    if (!fresh.empty()) {
      int64_t id = Take("record", static_cast<int64_t>(fresh.size()));
      std::vector<NewRow> rows;
      for (size_t i : fresh) rows.push_back({id++, i, t.generation, static_cast<int64_t>(i + 1)});
      Insert(b, d, rows, r.batch);
    }
    r.stored = static_cast<int64_t>(fresh.size());
    db_->Run("UPDATE terminals SET generation = $2, known = $3 WHERE id = $1",
             {b.terminal, t.generation, static_cast<int64_t>(b.records.size())});
    AddBatch(b, r);
    return r;
  }

  CommitResult Live(const Batch& b, const Decoded& d) {
    CommitResult r;
    if (Replayed(b, r)) return r;
    TerminalRow t = Terminal(b.terminal);
    r.batch = Take("batch", 1);
    for (size_t k = 0; k < b.records.size(); ++k) {
      const std::string& hex = d.hex[k];
      if (t.lastLive == hex) {  // the terminal's repeat after a missed acknowledgement
        ++r.duplicates;
        continue;
      }
      t.lastLive = hex;
      const auto downloaded = db_->Run(
          "SELECT id FROM records WHERE terminal = $1 AND raw = $2 "
          "AND live_seen = 0 ORDER BY id LIMIT 1",
          {b.terminal, hex});
      if (!downloaded.empty()) {
        db_->Run("UPDATE records SET live_seen = 1 WHERE id = $1", {Int(downloaded[0][0])});
        ++r.duplicates;
        continue;
      }
      Insert(b, d, {{Take("record", 1), k, std::nullopt, std::nullopt}}, r.batch);
      ++r.stored;
    }
    db_->Run("UPDATE terminals SET last_live = $2 WHERE id = $1",
             {b.terminal, t.lastLive ? SqlValue(*t.lastLive) : SqlValue(nullptr)});
    AddBatch(b, r);
    return r;
  }

  std::unique_ptr<SqlConnection> db_;
  std::mutex mutex_;
};

class ReachableStore : public Store {
 public:
  ReachableStore(std::string url, std::string site)
      : url_(std::move(url)), site_(std::move(site)) {}

  CommitResult Commit(const Batch& b) override {
    return Call([&](Store& s) { return s.Commit(b); });
  }
  std::vector<RecordRow> Records(const RecordFilter& f) override {
    return Call([&](Store& s) { return s.Records(f); });
  }
  int64_t ConsumerPosition(const std::string& n) override {
    return Call([&](Store& s) { return s.ConsumerPosition(n); });
  }
  void AdvanceConsumer(const std::string& n, int64_t id) override {
    Call([&](Store& s) {
      s.AdvanceConsumer(n, id);
      return 0;
    });
  }
  bool LockSite(const std::string& site) override {
    std::lock_guard lock(mutex_);
    site_ = site;
    return true;  // taken with the store, when it answers
  }
  int SchemaVersion() override {
    return Call([&](Store& s) { return s.SchemaVersion(); });
  }
  std::string Describe() const override { return url_.substr(0, url_.find(':')); }

 private:
  template <class F>
  auto Call(F&& f) -> decltype(f(std::declval<Store&>())) {
    std::lock_guard lock(mutex_);
    if (!store_) {
      auto opened = OpenStore(url_);
      if (!site_.empty() && !opened->LockSite(site_))
        throw StoreError("another collector holds site " + site_ + " on this store");
      store_ = std::move(opened);
    }
    return f(*store_);
  }
  std::string url_, site_;
  std::unique_ptr<Store> store_;
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<Store> OpenStoreWhenReachable(const std::string& url, const std::string& site) {
  return std::make_unique<ReachableStore>(url, site);
}

std::unique_ptr<Store> OpenStore(const std::string& url) {
  if (url.rfind("sqlite:", 0) == 0 && url.size() > 7)
    return std::make_unique<SqlStore>(OpenSqlite(url.substr(7)));
  if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0)
    return std::make_unique<SqlStore>(OpenPostgres(url));
  throw StoreError("not a store: " + url + " (sqlite:FILE or postgresql://...)");
}

}  // namespace collect
