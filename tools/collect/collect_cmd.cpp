// pclog collect: runs a site's collector from its file (or checks the file,
// or collects every terminal once). pclog records: reads the store.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "../pclog/csv.h"
#include "../pclog/global_options.h"
#include "collect_commands.h"
#include "collector.h"
#include "failpoints.h"
#include "log.h"
#ifdef WPL_WITH_COLLECTOR_HTTP
#include "http_server.h"
#endif

namespace collect {
namespace {

std::atomic<bool> g_stop{false};
std::atomic<bool> g_reload{false};
void OnStop(int) { g_stop = true; }
void OnHangUp(int) { g_reload = true; }

struct CollectArgs {
  std::string config, check, http, token;
  bool once = false;
};

int Check(const std::string& path) {
  const LoadedConfig c = LoadConfig(path);
  for (const ConfigProblem& p : c.problems)
    std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), p.line, p.text.c_str());
  if (!c.ok()) {
    std::fprintf(stderr, "%zu mistakes in %s\n", c.problems.size(), path.c_str());
    return 1;
  }
  std::printf("%s: site %s, %zu terminals, store %s, spool %s\n", path.c_str(),
              c.config.site.c_str(), c.config.terminals.size(), c.config.store.c_str(),
              c.config.spool.c_str());
  return 0;
}

int Collect(const CollectArgs& a) {
  LoadedConfig c = LoadConfig(a.config);
  if (!c.ok()) {
    for (const ConfigProblem& p : c.problems)
      std::fprintf(stderr, "%s:%d: %s\n", a.config.c_str(), p.line, p.text.c_str());
    return 2;
  }
  std::unique_ptr<Store> store;
  try {
    store = OpenStore(c.config.store);
    if (!store->LockSite(c.config.site)) {
      Log("", "another collector runs site " + c.config.site + " on " + store->Describe());
      return 3;
    }
  } catch (const StoreError& e) {
    // A database server that is down is waited for: the terminals are
    // collected into the spool meanwhile, and none is cleared.
    if (c.config.store.rfind("sqlite:", 0) == 0) {
      Log("", std::string("store: ") + e.what());
      return 2;
    }
    Log("", std::string("store: ") + e.what() + "; collecting into the spool until it answers");
    store = OpenStoreWhenReachable(c.config.store, c.config.site);
  }
  struct sigaction sa {};
  sa.sa_handler = OnStop;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sa.sa_handler = OnHangUp;
  sigaction(SIGHUP, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  // The environment is read here, before any thread: the failpoints and the
  // host's zone.
  Failpoints::Fails("");
  LocalDay(NowUtc(), "");
  Collector collector(c.config, *store, wpl::ProcessEnv());
  if (a.once) return collector.RunOnce(&g_stop);
#ifdef WPL_WITH_COLLECTOR_HTTP
  // The status page and the API, for as long as the collector runs.
  std::unique_ptr<HttpServer> http;
  if (!a.http.empty()) {
    const auto listen = ParseListenAddress(a.http);
    if (!listen) {
      Log("", "http: not an address and port: " + a.http);
      return 2;
    }
    // The token from the environment keeps it out of the process list.
    const char* fromEnv = std::getenv("PCLOG_HTTP_TOKEN");
    const std::string token = !a.token.empty() ? a.token : fromEnv ? fromEnv : "";
    if (const std::string refused = ListenRefusal(listen->address, token); !refused.empty()) {
      Log("", "http: " + refused);
      return 2;
    }
    http = std::make_unique<HttpServer>(collector, listen->address, listen->port, token);
    if (!http->Start()) {
      Log("", "http: " + http->error());
      return 2;
    }
    Log("", "http: serving on " + (listen->address.empty() ? "127.0.0.1" : listen->address) + ":" +
                std::to_string(http->port()));
  }
#else
  if (!a.http.empty()) {
    Log("", "http: this pclog was built without the HTTP side (cpp-httplib, nlohmann/json)");
    return 2;
  }
#endif
  collector.Run(g_stop, g_reload);
#ifdef WPL_WITH_COLLECTOR_HTTP
  if (http) http->Stop();
#endif
  return 0;
}

struct RecordsArgs {
  std::string store, config, since, until, terminal, format = "text", consumer;
  int person = -1;
  int64_t after = 0;
  int limit = 0;
};

std::string Line(const RecordRow& r, const std::string& format) {
  const std::string id = std::to_string(r.id), person = std::to_string(r.person),
                    tag = std::to_string(r.tag), batch = std::to_string(r.batch);
  if (format == "csv")
    return id + "," + pclog::csv::Field(r.terminal) + "," + person + "," + r.time + "," + tag +
           "," + r.raw + "," + r.source + "," + batch + "," + r.receivedUtc;
  if (format == "jsonl")
    return "{\"id\":" + id + ",\"terminal\":" + pclog::JsonString(r.terminal) +
           ",\"person\":" + person +
           ",\"time\":" + (r.time.empty() ? "null" : pclog::JsonString(r.time)) +
           ",\"tag\":" + tag + ",\"raw\":\"" + r.raw + "\",\"source\":\"" + r.source +
           "\",\"batch\":" + batch + ",\"received\":\"" + r.receivedUtc + "\"}";
  char text[256];
  std::snprintf(text, sizeof text, "%8s %-12s %6s %-19s %3s %s %s", id.c_str(), r.terminal.c_str(),
                person.c_str(), r.time.empty() ? "-" : r.time.c_str(), tag.c_str(), r.raw.c_str(),
                r.source.c_str());
  return text;
}

int Records(const RecordsArgs& a) {
  std::string url = a.store;
  if (url.empty()) {
    const LoadedConfig c = LoadConfig(a.config);
    if (!c.ok()) {
      for (const ConfigProblem& p : c.problems)
        std::fprintf(stderr, "%s:%d: %s\n", a.config.c_str(), p.line, p.text.c_str());
      return 2;
    }
    url = c.config.store;
  } else if (url.find(':') == std::string::npos) {
    url = "sqlite:" + url;  // a plain file name is a SQLite store
  }
  // Reading never makes a store: a mistyped file name is an error, not an
  // empty database.
  if (url.rfind("sqlite:", 0) == 0 && ::access(url.c_str() + 7, F_OK) != 0) {
    std::fprintf(stderr, "store: there is no %s\n", url.c_str() + 7);
    return 2;
  }
  try {
    std::unique_ptr<Store> store = OpenStore(url);
    RecordFilter f;
    f.afterId = a.after;
    if (!a.consumer.empty()) f.afterId = std::max(f.afterId, store->ConsumerPosition(a.consumer));
    f.limit = a.limit;
    f.since = a.since;
    f.until = a.until;
    f.terminal = a.terminal;
    if (a.person >= 0) f.person = a.person;
    if (a.format == "csv") std::printf("id,terminal,person,time,tag,raw,source,batch,received\n");
    int64_t last = 0;
    for (const RecordRow& r : store->Records(f)) {
      std::printf("%s\n", Line(r, a.format).c_str());
      last = r.id;
    }
    // The consumer moves on only once everything it was given is out.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "records: the output could not be written\n");
      return 1;
    }
    if (!a.consumer.empty() && last > 0) store->AdvanceConsumer(a.consumer, last);
  } catch (const StoreError& e) {
    std::fprintf(stderr, "store: %s\n", e.what());
    return 2;
  }
  return 0;
}

}  // namespace

void AddCollectCommands(CLI::App& app) {
  auto ca = std::make_shared<CollectArgs>();
  auto* collect = app.add_subcommand(
      "collect", "Collect every terminal of a site into a store, on each one's schedule");
  auto* config = collect->add_option("--config", ca->config, "The site file (TOML)");
  auto* check = collect->add_option("--check", ca->check,
                                    "Check the site file, name every mistake with its line");
  config->excludes(check);
  collect->add_flag("--once", ca->once,
                    "Download every terminal once and exit: 0 when all were collected");
  collect->add_option("--http", ca->http, "Serve status and records on ADDR:PORT");
  collect->add_option("--token", ca->token,
                      "Token the HTTP API asks for (or PCLOG_HTTP_TOKEN); needed off loopback");
  collect->callback([ca, config, check] {
    if (check->count()) throw CLI::RuntimeError(Check(ca->check));
    if (!config->count())
      throw CLI::ValidationError("collect", "give --config FILE or --check FILE");
    throw CLI::RuntimeError(Collect(*ca));
  });

  auto ra = std::make_shared<RecordsArgs>();
  auto* records = app.add_subcommand("records", "Read the collected records from a store");
  auto* store =
      records->add_option("--store", ra->store, "sqlite:FILE, a file name, or postgresql://...");
  auto* site = records->add_option("--config", ra->config, "Take the store from a site file");
  store->excludes(site);
  records->add_option("--since", ra->since,
                      "From this local time (2026-03-04 or 2026-03-04T08:00)");
  records->add_option("--until", ra->until, "Up to this local time, inclusive");
  records->add_option("--terminal", ra->terminal, "Only this terminal");
  records->add_option("--person", ra->person, "Only this person number");
  records->add_option("--format", ra->format, "text, csv or jsonl")
      ->check(CLI::IsMember({"text", "csv", "jsonl"}))
      ->capture_default_str();
  records->add_option("--after", ra->after, "Only records with a greater id (commit order)");
  records->add_option("--consumer", ra->consumer,
                      "A named reader: each record once, in commit order, across runs");
  records->add_option("--limit", ra->limit, "At most this many records");
  records->callback([ra, store, site] {
    if (!store->count() && !site->count())
      throw CLI::ValidationError("records", "give --store STORE or --config FILE");
    throw CLI::RuntimeError(Records(*ra));
  });
}

}  // namespace collect
