#include "http_views.h"

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "fake_status_source.h"
#include "text_search.h"

namespace collect {
namespace {

using nlohmann::json;

TEST(IsoUtc, ConvertsUnixSecondsWithinYearsOneToNineThousand) {
  const struct {
    int64_t seconds;
    std::optional<std::string> iso;
  } cases[] = {
      {0, "1970-01-01T00:00:00Z"},
      {-1, "1969-12-31T23:59:59Z"},
      {1772608500, "2026-03-04T07:15:00Z"},
      {951782400, "2000-02-29T00:00:00Z"},
      {4107542399, "2100-02-28T23:59:59Z"},  // 2100 is no leap year
      {4107542400, "2100-03-01T00:00:00Z"},
      {-62135596800, "0001-01-01T00:00:00Z"},
      {253402300799, "9999-12-31T23:59:59Z"},
      {-62135596801, std::nullopt},
      {253402300800, std::nullopt},
      {INT64_MIN, std::nullopt},
      {INT64_MAX, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(IsoUtc(c.seconds), c.iso) << c.seconds;
}

TEST(Escaping, HtmlAndPrometheusLabelValues) {
  const struct {
    std::string in, html, label;
  } cases[] = {
      {"gate-1", "gate-1", "gate-1"},
      {"<b>&</b>", "&lt;b&gt;&amp;&lt;/b&gt;", "<b>&</b>"},
      {"say \"hi\" 'x'", "say &quot;hi&quot; &#39;x&#39;", "say \\\"hi\\\" 'x'"},
      {"a\\b\nc", "a\\b\nc", "a\\\\b\\nc"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HtmlEscape(c.in), c.html) << c.in;
    EXPECT_EQ(PrometheusLabelValue(c.in), c.label) << c.in;
  }
}

TEST(TerminalsJson, EveryFieldWithTimesInBothFormsAndNullWhenUnknown) {
  FakeStatusSource source;
  TwoTerminals(source);
  const json list = json::parse(TerminalsJson(source.terminals));
  ASSERT_EQ(list.size(), 2u);
  const json& gate = list[0];
  EXPECT_EQ(gate["id"], "gate-1");
  EXPECT_EQ(gate["link"], "ip 127.0.0.5");
  EXPECT_EQ(gate["mode"], "download");
  EXPECT_EQ(gate["up"], true);
  EXPECT_EQ(gate["overdue"], false);
  EXPECT_EQ(gate["last_contact"], "2026-03-04T07:15:00Z");
  EXPECT_EQ(gate["last_contact_unix"], 1772608500);
  EXPECT_EQ(gate["last_success"], "2026-03-04T07:15:00Z");
  EXPECT_EQ(gate["last_success_unix"], 1772608500);
  EXPECT_EQ(gate["failures_in_row"], 0);
  EXPECT_EQ(gate["last_error"], "");
  EXPECT_EQ(gate["records_today"], 42);
  EXPECT_EQ(gate["clock_offset_seconds"], -3);
  const json& hall = list[1];
  EXPECT_TRUE(hall["last_success"].is_null());
  EXPECT_TRUE(hall["last_success_unix"].is_null());
  EXPECT_TRUE(hall["clock_offset_seconds"].is_null());
  EXPECT_EQ(hall["last_error"], "no answer <b>&</b> \"timeout\"");
  EXPECT_EQ(hall["overdue"], true);
  EXPECT_EQ(json::parse(TerminalsJson({})), json::array());
}

TEST(TerminalsJson, BytesThatAreNotUtf8AreReplacedNotFatal) {
  TerminalStatus t;
  t.id = "gate-\xff";
  t.lastError = "bad \xc3";
  std::string text;
  ASSERT_NO_THROW(text = TerminalsJson({t}));
  const json list = json::parse(text);
  EXPECT_EQ(list[0]["id"], "gate-\xEF\xBF\xBD");
}

TEST(RecordsJson, RowsAndWhereToGoOnFrom) {
  RecordRow r{17,
              "gate-1",
              1234,
              "2026-03-04T08:15:00",
              2,
              "0a1b2c3d4e5f",
              "live",
              9,
              "2026-03-04T07:15:02Z"};
  const json page = json::parse(RecordsJson({r}, 16));
  EXPECT_EQ(page["next_after"], 17);
  ASSERT_EQ(page["records"].size(), 1u);
  EXPECT_EQ(page["records"][0],
            json::parse(R"({"id":17,"terminal":"gate-1","person":1234,"time":"2026-03-04T08:15:00",
              "tag":2,"raw":"0a1b2c3d4e5f","source":"live","batch":9,
              "received":"2026-03-04T07:15:02Z"})"));
  const json none = json::parse(RecordsJson({}, 40));
  EXPECT_EQ(none["next_after"], 40);
  EXPECT_EQ(none["records"], json::array());
}

TEST(RecordsQuery, BoundsAndDefaults) {
  using S = std::optional<std::string>;
  const struct {
    S after, limit;
    bool ok;
    int64_t wantAfter;
    int wantLimit;
  } cases[] = {
      {std::nullopt, std::nullopt, true, 0, kDefaultRecordsLimit},
      {"0", "1", true, 0, 1},
      {"9223372036854775807", "10000", true, INT64_MAX, kMaxRecordsLimit},
      {"25", std::nullopt, true, 25, kDefaultRecordsLimit},
      {"-1", std::nullopt, false, 0, 0},
      {"9223372036854775808", std::nullopt, false, 0, 0},
      {"12x", std::nullopt, false, 0, 0},
      {"", std::nullopt, false, 0, 0},
      {" 1", std::nullopt, false, 0, 0},
      {std::nullopt, "0", false, 0, 0},
      {std::nullopt, "10001", false, 0, 0},
      {std::nullopt, "-5", false, 0, 0},
      {std::nullopt, "99999999999999999999", false, 0, 0},
      {std::nullopt, "1e3", false, 0, 0},
  };
  for (const auto& c : cases) {
    const auto r = ParseRecordsQuery(c.after, c.limit);
    const std::string what = c.after.value_or("-") + " / " + c.limit.value_or("-");
    ASSERT_EQ(r.query.has_value(), c.ok) << what;
    if (c.ok) {
      EXPECT_EQ(r.query->after, c.wantAfter) << what;
      EXPECT_EQ(r.query->limit, c.wantLimit) << what;
    } else {
      EXPECT_FALSE(r.error.empty()) << what;
    }
  }
}

// Checks the text as a scraper would read it: every sample belongs to a
// family declared with HELP and TYPE before it, each family once.
std::map<std::string, std::string> ParseExposition(const std::string& text) {
  static const std::regex kSample(
      R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{[a-zA-Z_][a-zA-Z0-9_]*="(?:[^"\\\n]|\\[\\"n])*"\})? (-?[0-9]+))");
  static const std::regex kHelp(R"(# HELP ([a-zA-Z_:][a-zA-Z0-9_:]*) \S.*)");
  static const std::regex kType(R"(# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (counter|gauge))");
  std::map<std::string, std::string> samples;
  std::set<std::string> helped, typed;
  std::istringstream lines(text);
  std::string line;
  std::smatch m;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, m, kHelp)) {
      EXPECT_TRUE(helped.insert(m[1]).second) << "HELP twice: " << line;
    } else if (std::regex_match(line, m, kType)) {
      EXPECT_TRUE(helped.count(m[1])) << "TYPE before HELP: " << line;
      EXPECT_TRUE(typed.insert(m[1]).second) << "TYPE twice: " << line;
    } else if (std::regex_match(line, m, kSample)) {
      EXPECT_TRUE(typed.count(m[1])) << "sample of an undeclared family: " << line;
      EXPECT_TRUE(samples.emplace(std::string(m[1]) + std::string(m[2]), m[3]).second) << line;
    } else {
      ADD_FAILURE() << "not exposition text: '" << line << "'";
    }
  }
  EXPECT_TRUE(text.empty() || text.back() == '\n');
  return samples;
}

TEST(MetricsText, CountersAndPerTerminalGauges) {
  FakeStatusSource source;
  TwoTerminals(source);
  const auto samples = ParseExposition(MetricsText("plant-1", source.counters, source.terminals));
  const std::map<std::string, std::string> want = {
      {"pclog_collect_info{site=\"plant-1\"}", "1"},
      {"pclog_records_stored_total", "1200"},
      {"pclog_duplicates_absorbed_total", "7"},
      {"pclog_downloads_failed_total", "3"},
      {"pclog_terminal_up{terminal=\"gate-1\"}", "1"},
      {"pclog_terminal_up{terminal=\"hall-2\"}", "0"},
      {"pclog_terminal_overdue{terminal=\"gate-1\"}", "0"},
      {"pclog_terminal_overdue{terminal=\"hall-2\"}", "1"},
      {"pclog_terminal_failures_in_row{terminal=\"gate-1\"}", "0"},
      {"pclog_terminal_failures_in_row{terminal=\"hall-2\"}", "4"},
      {"pclog_terminal_records_today{terminal=\"gate-1\"}", "42"},
      {"pclog_terminal_records_today{terminal=\"hall-2\"}", "0"},
      {"pclog_terminal_last_contact_timestamp_seconds{terminal=\"gate-1\"}", "1772608500"},
      {"pclog_terminal_last_contact_timestamp_seconds{terminal=\"hall-2\"}", "1772604000"},
      // hall-2 never succeeded and has no clock reading: no sample, not a zero.
      {"pclog_terminal_last_success_timestamp_seconds{terminal=\"gate-1\"}", "1772608500"},
      {"pclog_terminal_clock_offset_seconds{terminal=\"gate-1\"}", "-3"},
  };
  EXPECT_EQ(samples, want);
}

TEST(MetricsText, CounterTypesAndLabelsThatNeedEscaping) {
  TerminalStatus t;
  t.id = "odd \"gate\"\\\n2";
  const std::string text = MetricsText("site\"x", {UINT64_MAX, 0, 0}, {t});
  EXPECT_NE(text.find("# TYPE pclog_records_stored_total counter\n"), std::string::npos);
  EXPECT_NE(text.find("# TYPE pclog_duplicates_absorbed_total counter\n"), std::string::npos);
  EXPECT_NE(text.find("# TYPE pclog_downloads_failed_total counter\n"), std::string::npos);
  const auto samples = ParseExposition(text);
  EXPECT_EQ(samples.at("pclog_records_stored_total"), "18446744073709551615");
  EXPECT_EQ(samples.at("pclog_collect_info{site=\"site\\\"x\"}"), "1");
  EXPECT_EQ(samples.at("pclog_terminal_up{terminal=\"odd \\\"gate\\\"\\\\\\n2\"}"), "0");
}

using wpl::testing::Occurrences;

TEST(StatusPage, SelfContainedAndEscaped) {
  FakeStatusSource source;
  TwoTerminals(source);
  source.terminals[0].id = "</script><script>alert(1)</script>";
  const std::string page = StatusPageHtml("<plant & 'one'>", source.terminals);
  EXPECT_EQ(Occurrences(page, "&lt;plant &amp; &#39;one&#39;&gt;"), 2u);  // title and heading
  EXPECT_EQ(Occurrences(page, "<plant"), 0u);
  // Only the page's own two script elements close; the id stays inside the data.
  EXPECT_EQ(Occurrences(page, "</script>"), 2u);
  EXPECT_EQ(Occurrences(page, "alert(1)"), 1u);
  EXPECT_NE(page.find("\\u003c/script\\u003e"), std::string::npos);
  // Nothing loaded from elsewhere.
  EXPECT_EQ(Occurrences(page, "http:"), 0u);
  EXPECT_EQ(Occurrences(page, "https:"), 0u);
  EXPECT_EQ(Occurrences(page, " src="), 0u);
  EXPECT_EQ(Occurrences(page, "<link"), 0u);
  // The embedded data is the API's own answer.
  const std::string open = "type=\"application/json\">";
  const auto start = page.find(open) + open.size();
  std::string data = page.substr(start, page.find("</script>", start) - start);
  EXPECT_EQ(json::parse(data), json::parse(TerminalsJson(source.terminals)));
}

}  // namespace
}  // namespace collect
