#include "http_views.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace collect {
namespace {

using nlohmann::json;

// Civil date from days since 1970-01-01 (proleptic Gregorian), valid for the
// whole range IsoUtc accepts.
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

json Time(const std::optional<int64_t>& unixSeconds) {
  if (!unixSeconds) return nullptr;
  auto iso = IsoUtc(*unixSeconds);
  return iso ? json(*iso) : json(nullptr);
}

json Seconds(const std::optional<int64_t>& value) { return value ? json(*value) : json(nullptr); }

// Text from a terminal or a store may hold bytes that are not UTF-8; they
// are replaced rather than failing the whole answer.
std::string Dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json TerminalObject(const TerminalStatus& t) {
  return {{"id", t.id},
          {"link", t.link},
          {"mode", t.mode},
          {"up", t.up},
          {"overdue", t.overdue},
          {"last_contact", Time(t.lastContactUtc)},
          {"last_contact_unix", Seconds(t.lastContactUtc)},
          {"last_success", Time(t.lastSuccessUtc)},
          {"last_success_unix", Seconds(t.lastSuccessUtc)},
          {"failures_in_row", t.failuresInRow},
          {"last_error", t.lastError},
          {"records_today", t.recordsToday},
          {"clock_offset_seconds", Seconds(t.clockOffsetSeconds)}};
}

json TerminalArray(const std::vector<TerminalStatus>& terminals) {
  json list = json::array();
  for (const auto& t : terminals) list.push_back(TerminalObject(t));
  return list;
}

struct Replacement {
  char from;
  const char* to;
};

// `text` with each character found in `table` replaced by its text.
template <size_t N>
std::string Replaced(std::string_view text, const Replacement (&table)[N]) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const Replacement* r =
        std::find_if(table, table + N, [c](const auto& e) { return e.from == c; });
    if (r != table + N) {
      out += r->to;
    } else {
      out += c;
    }
  }
  return out;
}

constexpr Replacement kHtml[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"}};
constexpr Replacement kLabelValue[] = {{'\\', "\\\\"}, {'"', "\\\""}, {'\n', "\\n"}};
constexpr Replacement kInScript[] = {{'<', "\\u003c"}, {'>', "\\u003e"}, {'&', "\\u0026"}};

struct Family {
  const char* name;
  const char* type;
  const char* help;
};

void Head(std::string& out, const Family& f) {
  out += "# HELP ";
  out += f.name;
  out += ' ';
  out += f.help;
  out += "\n# TYPE ";
  out += f.name;
  out += ' ';
  out += f.type;
  out += '\n';
}

void Sample(std::string& out, const char* name, const std::string& labels,
            const std::string& value) {
  out += name;
  if (!labels.empty()) out += "{" + labels + "}";
  out += ' ';
  out += value;
  out += '\n';
}

// One gauge per terminal; a terminal without a value (never succeeded, no
// clock read yet) has no sample rather than a misleading zero.
struct TerminalGauge {
  Family family;
  std::optional<int64_t> (*value)(const TerminalStatus&);
};

const TerminalGauge kTerminalGauges[] = {
    {{"pclog_terminal_up", "gauge", "1 when the terminal's last conversation succeeded, else 0."},
     [](const TerminalStatus& t) -> std::optional<int64_t> { return t.up ? 1 : 0; }},
    {{"pclog_terminal_overdue", "gauge",
      "1 when the terminal has been silent for longer than its schedule allows, else 0."},
     [](const TerminalStatus& t) -> std::optional<int64_t> { return t.overdue ? 1 : 0; }},
    {{"pclog_terminal_failures_in_row", "gauge", "Conversations failed since the last success."},
     [](const TerminalStatus& t) -> std::optional<int64_t> { return t.failuresInRow; }},
    {{"pclog_terminal_records_today", "gauge", "Records received from the terminal today."},
     [](const TerminalStatus& t) -> std::optional<int64_t> { return t.recordsToday; }},
    {{"pclog_terminal_last_contact_timestamp_seconds", "gauge",
      "Unix time of the last answer from the terminal."},
     [](const TerminalStatus& t) { return t.lastContactUtc; }},
    {{"pclog_terminal_last_success_timestamp_seconds", "gauge",
      "Unix time of the last successful conversation with the terminal."},
     [](const TerminalStatus& t) { return t.lastSuccessUtc; }},
    {{"pclog_terminal_clock_offset_seconds", "gauge",
      "The terminal's clock minus the host's, in seconds, as last read."},
     [](const TerminalStatus& t) { return t.clockOffsetSeconds; }},
};

const char kPageHead[] = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)";

const char kPageStyle[] = R"(</title>
<style>
body { font: 14px/1.4 system-ui, sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.4em; margin: 0 0 .3em; }
#refreshed { color: #555; margin: 0 0 1em; }
#refreshed.stale { color: #b00; font-weight: bold; }
table { border-collapse: collapse; width: 100%; }
th, td { border-bottom: 1px solid #ddd; padding: .35em .6em; text-align: left; vertical-align: top; }
th { background: #f3f3f3; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
tr.down td.state { color: #fff; background: #c0392b; }
tr.up td.state { color: #fff; background: #27ae60; }
td.overdue { color: #b00; font-weight: bold; }
td.when { white-space: nowrap; }
</style>
</head>
<body>
<h1>)";

const char kPageBody[] = R"(</h1>
<p id="refreshed">loading</p>
<noscript><p>This page fills its table with a script; the same data is at
<a href="api/terminals">api/terminals</a>.</p></noscript>
<table>
<thead><tr><th>Terminal</th><th>Link</th><th>Mode</th><th>State</th><th>Last contact</th>
<th>Last success</th><th>Failures in a row</th><th>Last error</th><th>Records today</th>
<th>Clock offset</th><th>Overdue</th></tr></thead>
<tbody id="terminals"></tbody>
</table>
<script id="initial" type="application/json">)";

// The table is built by the script alone, with textContent, so nothing
// from a terminal or the store is ever parsed as HTML. A token given in the
// page's address is sent on as a bearer token for the refresh.
const char kPageScript[] = R"(</script>
<script>
(function () {
  'use strict';
  var REFRESH_MS = 5000;
  var token = new URLSearchParams(location.search).get('token');
  var body = document.getElementById('terminals');
  var note = document.getElementById('refreshed');
  function when(iso) { return iso ? iso.replace('T', ' ').replace('Z', ' UTC') : '\u2014'; }
  function offset(s) { return s === null ? '\u2014' : (s > 0 ? '+' : '') + s + ' s'; }
  function clock() { return new Date().toISOString().substring(11, 19) + ' UTC'; }
  function cell(row, text, cls) {
    var td = row.insertCell();
    td.textContent = text;
    if (cls) td.className = cls;
  }
  function show(list, how) {
    var rows = [], up = 0, overdue = 0;
    list.forEach(function (t) {
      var row = document.createElement('tr');
      row.className = t.up ? 'up' : 'down';
      row.dataset.terminal = t.id;
      cell(row, t.id);
      cell(row, t.link);
      cell(row, t.mode);
      cell(row, t.up ? 'up' : 'down', 'state');
      cell(row, when(t.last_contact), 'when');
      cell(row, when(t.last_success), 'when');
      cell(row, String(t.failures_in_row), 'num');
      cell(row, t.last_error);
      cell(row, String(t.records_today), 'num');
      cell(row, offset(t.clock_offset_seconds), 'num');
      cell(row, t.overdue ? 'overdue' : 'no', t.overdue ? 'overdue' : '');
      if (t.up) up++;
      if (t.overdue) overdue++;
      rows.push(row);
    });
    if (!rows.length) {
      var none = document.createElement('tr');
      cell(none, 'no terminals configured');
      none.cells[0].colSpan = 11;
      rows.push(none);
    }
    body.replaceChildren.apply(body, rows);
    note.className = '';
    note.textContent = list.length + ' terminals, ' + up + ' up, ' + (list.length - up) +
        ' down, ' + overdue + ' overdue; ' + how + ' ' + clock();
  }
  function refresh() {
    var headers = token ? { 'Authorization': 'Bearer ' + token } : {};
    fetch('api/terminals', { headers: headers, cache: 'no-store' })
      .then(function (r) { if (!r.ok) throw new Error('HTTP ' + r.status); return r.json(); })
      .then(function (list) { show(list, 'refreshed'); })
      .catch(function (e) {
        note.className = 'stale';
        note.textContent = 'not refreshed since ' + clock() + ' (' + e.message + ')';
      });
  }
  show(JSON.parse(document.getElementById('initial').textContent), 'loaded');
  setInterval(refresh, REFRESH_MS);
})();
</script>
</body>
</html>
)";

}  // namespace

std::optional<std::string> IsoUtc(int64_t unixSeconds) {
  constexpr int64_t kFirst = -62135596800;  // 0001-01-01T00:00:00Z
  constexpr int64_t kLast = 253402300799;   // 9999-12-31T23:59:59Z
  if (unixSeconds < kFirst || unixSeconds > kLast) return std::nullopt;
  int64_t days = unixSeconds / 86400, secs = unixSeconds % 86400;
  if (secs < 0) secs += 86400, --days;
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, year, month, day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(year), month,
                day, static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60),
                static_cast<int>(secs % 60));
  return text;
}

std::string HtmlEscape(std::string_view text) { return Replaced(text, kHtml); }

std::string PrometheusLabelValue(std::string_view text) { return Replaced(text, kLabelValue); }

std::string TerminalsJson(const std::vector<TerminalStatus>& terminals) {
  return Dump(TerminalArray(terminals));
}

std::string RecordsJson(const std::vector<RecordRow>& rows, int64_t afterId) {
  json list = json::array();
  for (const auto& r : rows) {
    list.push_back({{"id", r.id},
                    {"terminal", r.terminal},
                    {"person", r.person},
                    {"time", r.time},
                    {"tag", r.tag},
                    {"raw", r.raw},
                    {"source", r.source},
                    {"batch", r.batch},
                    {"received", r.receivedUtc}});
  }
  const int64_t next = rows.empty() ? afterId : rows.back().id;
  return Dump({{"records", std::move(list)}, {"next_after", next}});
}

std::string ErrorJson(std::string_view message) { return Dump({{"error", std::string(message)}}); }

std::string MetricsText(const std::string& site, const CollectorCounters& counters,
                        const std::vector<TerminalStatus>& terminals) {
  std::string out;
  Head(out, {"pclog_collect_info", "gauge", "The collector's site; always 1."});
  Sample(out, "pclog_collect_info", "site=\"" + PrometheusLabelValue(site) + "\"", "1");
  const struct {
    Family family;
    uint64_t value;
  } counterRows[] = {
      {{"pclog_records_stored_total", "counter", "Records committed to the store."},
       counters.recordsStored},
      {{"pclog_duplicates_absorbed_total", "counter",
        "Records delivered again and recognised as already stored."},
       counters.duplicatesAbsorbed},
      {{"pclog_downloads_failed_total", "counter", "Downloads that did not complete."},
       counters.downloadsFailed},
  };
  for (const auto& c : counterRows) {
    Head(out, c.family);
    Sample(out, c.family.name, "", std::to_string(c.value));
  }
  for (const auto& gauge : kTerminalGauges) {
    Head(out, gauge.family);
    for (const auto& t : terminals) {
      if (auto v = gauge.value(t)) {
        Sample(out, gauge.family.name, "terminal=\"" + PrometheusLabelValue(t.id) + "\"",
               std::to_string(*v));
      }
    }
  }
  return out;
}

std::string StatusPageHtml(const std::string& site, const std::vector<TerminalStatus>& terminals) {
  const std::string title = HtmlEscape(site) + " \xE2\x80\x94 terminals";
  std::string out = kPageHead;
  out += title;
  out += kPageStyle;
  out += title;
  out += kPageBody;
  // JSON inside a <script> element: '<', '>' and '&' occur only within
  // strings there, so their \u escapes keep "</script>" and "<!--" out.
  out += Replaced(TerminalsJson(terminals), kInScript);
  out += kPageScript;
  return out;
}

RecordsQueryResult ParseRecordsQuery(const std::optional<std::string>& after,
                                     const std::optional<std::string>& limit) {
  auto whole = [](const std::string& text, int64_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
  };
  RecordsQuery q;
  if (after) {
    if (!whole(*after, q.after) || q.after < 0) {
      return {std::nullopt, "after must be a record id, a whole number from 0"};
    }
  }
  if (limit) {
    int64_t n = 0;
    if (!whole(*limit, n) || n < 1 || n > kMaxRecordsLimit) {
      return {std::nullopt,
              "limit must be a whole number from 1 to " + std::to_string(kMaxRecordsLimit)};
    }
    q.limit = static_cast<int>(n);
  }
  return {q, ""};
}

}  // namespace collect
