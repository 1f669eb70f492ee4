// What the collector's HTTP side shows, as pure functions of the status it is
// given: the JSON of the API, the Prometheus text and the status page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"

namespace collect {

// "2026-03-04T07:15:00Z" for unix seconds; nullopt outside years 0001 to 9999.
std::optional<std::string> IsoUtc(int64_t unixSeconds);

// Text made safe for HTML element content and attribute values.
std::string HtmlEscape(std::string_view text);

// A label value in the Prometheus text format: \ " and newline escaped.
std::string PrometheusLabelValue(std::string_view text);

// GET /api/terminals: a JSON array, one object per terminal; times both as
// ISO 8601 UTC and as unix seconds, null when unknown.
std::string TerminalsJson(const std::vector<TerminalStatus>& terminals);

// GET /api/records: {"records":[...],"next_after":ID}, where next_after is
// the id to ask after next time (the last row's, or `afterId` when none).
std::string RecordsJson(const std::vector<RecordRow>& rows, int64_t afterId);

// {"error":"MESSAGE"}, the body of a refused API request.
std::string ErrorJson(std::string_view message);

// GET /metrics in the Prometheus text exposition format 0.0.4.
std::string MetricsText(const std::string& site, const CollectorCounters& counters,
                        const std::vector<TerminalStatus>& terminals);

// GET /: one self-contained page, the table filled from `terminals` and
// renewed by its own script from /api/terminals every few seconds.
std::string StatusPageHtml(const std::string& site, const std::vector<TerminalStatus>& terminals);

// The query of GET /api/records, checked: after >= 0, limit 1..kMaxRecordsLimit;
// either may be absent.
inline constexpr int kDefaultRecordsLimit = 1000;
inline constexpr int kMaxRecordsLimit = 10000;
struct RecordsQuery {
  int64_t after = 0;
  int limit = kDefaultRecordsLimit;
};
struct RecordsQueryResult {
  std::optional<RecordsQuery> query;
  std::string error;  // in words when query is empty
};
RecordsQueryResult ParseRecordsQuery(const std::optional<std::string>& after,
                                     const std::optional<std::string>& limit);

}  // namespace collect
