// The store of the collected records: one small interface, with a SQLite and
// a PostgreSQL implementation of the same schema and the same behaviour.
//
// How repeats are told from genuine punches: a terminal keeps its records in
// order since its last clear, and a download returns that whole list. The
// store keeps, per terminal, a generation (the records since one clear) and
// gives each downloaded record its position in it (the ordinal). A download
// whose list begins with every record already stored for the generation
// continues it: those records are repeats, the rest get the next ordinals.
// A list that does not begin so comes from a cleared terminal and opens the
// next generation. The key (terminal, generation, ordinal) is unique, so two
// identical punches (positions n and n + 1) stay two rows, and a download
// repeated after a lost clear adds nothing. A live record has no position
// yet: it is stored unplaced and the next download that holds the same bytes
// gives it its place instead of adding a row; a live record whose bytes match
// a downloaded record the live feed has not delivered yet is that record. A
// live record equal to the terminal's previous live record is the
// terminal's repeat after a missed acknowledgement.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "record_fields.h"
#include "status.h"

namespace collect {

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Source { kDownload, kLive };

// What one conversation brought, as it goes into the store in one
// transaction.
struct Batch {
  std::string terminal;
  Source source = Source::kDownload;
  std::string key;  // unique per batch: a replay of a committed batch is known by it
  int64_t receivedUtc = 0;
  Day day;  // the download day in the terminal's zone, for the real year
  std::vector<Raw> records;
};

struct CommitResult {
  int64_t batch = 0;
  int64_t stored = 0;      // new rows
  int64_t duplicates = 0;  // records the store held already
  bool replayed = false;   // the batch itself was committed before
  bool newGeneration = false;
};

struct RecordFilter {
  int64_t afterId = 0;
  int limit = 0;             // 0: no limit
  std::string since, until;  // ISO local time prefixes, inclusive
  std::string terminal;
  std::optional<int> person;
};

class Store {
 public:
  virtual ~Store() = default;
  virtual CommitResult Commit(const Batch& batch) = 0;
  // Rows in commit order: the id grows with each commit, on every store.
  virtual std::vector<RecordRow> Records(const RecordFilter& filter) = 0;
  // The id a named consumer has received up to (0 for a new one), and
  // moving it on (never back).
  virtual int64_t ConsumerPosition(const std::string& name) = 0;
  virtual void AdvanceConsumer(const std::string& name, int64_t lastId) = 0;
  // Takes the site's lock for the life of this store; false when another
  // collector holds it.
  virtual bool LockSite(const std::string& site) = 0;
  virtual int SchemaVersion() = 0;
  virtual std::string Describe() const = 0;
};

// "sqlite:FILE" or "postgresql://..." (libpq's URI). Throws StoreError.
std::unique_ptr<Store> OpenStore(const std::string& url);

// A store that is opened (and its site lock taken) at the first call that
// finds the server up, and opened again after the server was lost: a
// collector started while its database is down collects into the spool and
// commits once the database answers. Every call while it is down throws
// StoreError.
std::unique_ptr<Store> OpenStoreWhenReachable(const std::string& url, const std::string& site);

}  // namespace collect
