// The card queries of pclog, which print a value rather than an answer, and
// one real-time fetch. (The card settings are rows of the settings table.)
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "download/realtime.h"
#include "exports/results.h"
#include "link/value_reply.h"
#include "settings/cards.h"

namespace pclog {
namespace {

struct Query {
  const char* cli;
  const char* help;
  const wpl::settings::Setting& query;  // looked up when compiled
  const char* valueHelp = "";
};

const Query kQueries[] = {
    {"what-sn", "Ask for the number filed with an SN number",
     wpl::settings::ValueQueryRow("_WHATSN"), "The SN number"},
    {"sn-length", "Ask for the terminal's SN length", wpl::settings::ValueQueryRow("_GETSNLENTH")},
};

void AddQuery(CLI::App& app, wpl::Env& env, const Query& q) {
  const wpl::settings::Setting& query = q.query;
  auto* sub = app.add_subcommand(q.cli, q.help);
  auto target = AddSerialTarget(sub);
  auto values = std::make_shared<std::vector<int64_t>>();
  if (query.values > 0)
    sub->add_option("NUMBER", *values, q.valueHelp)
        ->expected(query.values)
        ->required()
        ->check(CLI::Range(0, 65535));
  sub->callback([&env, &q, &query, target, values] {
    const std::vector<int32_t> v(values->begin(), values->end());
    const int32_t value = wpl::exports::ValueOrFailure(
        wpl::settings::RunSerialSetting(env, query, target->address, target->port, v));
    // 65535 is also what any failure gives: the two cannot be told apart.
    if (value == wpl::link::kNoValue)
      std::printf("%s: no value from terminal %d (65535)\n", q.cli, target->address);
    else
      std::printf("%d\n", value);
    Finish(value == wpl::link::kNoValue ? 1 : 0);
  });
}

}  // namespace

void AddCards(CLI::App& app, wpl::Env& env) {
  for (const Query& q : kQueries) AddQuery(app, env, q);
  auto* fetch = app.add_subcommand(
      "real-download", "Fetch the one record a terminal holds ready, as the real-time text");
  auto target = AddTarget(fetch);
  fetch->callback([&env, target] {
    const auto got = target->ipOption->count() > 0
                         ? wpl::download::LanRealtimeFetch(env, target->ip.c_str())
                         : wpl::download::SerialRealtimeFetch(env, target->address, target->port);
    std::printf("%s\n", got.text.c_str());
    Finish(got.outcome == wpl::download::RealtimeOutcome::kFailed ? 1 : 0);
  });
}

}  // namespace pclog
