#include "http_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "fake_status_source.h"
#include "http_views.h"

namespace collect {
namespace {

using nlohmann::json;

TEST(ListenAddress, ParsesHostAndPort) {
  const struct {
    const char* text;
    std::optional<std::string> address;
    int port;
  } cases[] = {
      {"127.0.0.1:8080", "127.0.0.1", 8080}, {"8080", "127.0.0.1", 8080},
      {":9100", "127.0.0.1", 9100},          {"[::1]:8080", "::1", 8080},
      {"localhost:0", "localhost", 0},       {"0.0.0.0:65535", "0.0.0.0", 65535},
      {"127.0.0.1:65536", std::nullopt, 0},  {"127.0.0.1:-1", std::nullopt, 0},
      {"127.0.0.1:", std::nullopt, 0},       {"127.0.0.1:80x", std::nullopt, 0},
      {"::1:8080", std::nullopt, 0},         {"[]:8080", std::nullopt, 0},
      {"[::1]8080", std::nullopt, 0},        {"", std::nullopt, 0},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseListenAddress(c.text);
    ASSERT_EQ(parsed.has_value(), c.address.has_value()) << c.text;
    if (parsed) {
      EXPECT_EQ(parsed->address, *c.address) << c.text;
      EXPECT_EQ(parsed->port, c.port) << c.text;
    }
  }
}

TEST(ListenAddress, LoopbackOnlyWithoutAToken) {
  const std::string token(kMinTokenLength, 'k');
  const struct {
    const char* address;
    bool loopback;
  } cases[] = {
      {"127.0.0.1", true},  {"127.255.0.9", true},      {"::1", true},
      {"[::1]", true},      {"::ffff:127.0.0.1", true}, {"localhost", true},
      {"LocalHost", true},  {"0.0.0.0", false},         {"::", false},
      {"128.0.0.1", false}, {"::ffff:10.0.0.1", false}, {"192.0.2.10", false},
      {"127.1", false},     {"plant.example", false},   {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsLoopbackAddress(c.address), c.loopback) << c.address;
    EXPECT_EQ(ListenRefusal(c.address, "").empty(), c.loopback) << c.address;
    EXPECT_EQ(ListenRefusal(c.address, token), "") << c.address;
  }
  EXPECT_NE(ListenRefusal("127.0.0.1", std::string(kMinTokenLength - 1, 'k')), "");
  EXPECT_NE(ListenRefusal("127.0.0.1", token + " x"), "");
  EXPECT_NE(ListenRefusal("127.0.0.1", token + "\n"), "");
}

TEST(HttpServer, RefusesAnOpenAddressWithoutATokenBeforeBinding) {
  FakeStatusSource source;
  HttpServer server(source, "0.0.0.0", 0, "");
  EXPECT_FALSE(server.Start());
  EXPECT_NE(server.error().find("needs a token"), std::string::npos) << server.error();
  EXPECT_EQ(server.port(), 0);
  HttpServer shortToken(source, "127.0.0.1", 0, "short");
  EXPECT_FALSE(shortToken.Start());
}

class Served : public ::testing::Test {
 protected:
  void Serve(std::string token = "") {
    TwoTerminals(source);
    for (int64_t id = 1; id <= 30; ++id) {
      source.records.push_back({id, "gate-1", static_cast<int>(100 + id), "2026-03-04T08:15:00", 1,
                                "0a1b2c3d4e5f", "download", 1, "2026-03-04T07:15:02Z"});
    }
    server = std::make_unique<HttpServer>(source, "127.0.0.1", 0, std::move(token));
    ASSERT_TRUE(server->Start()) << server->error();
    ASSERT_GT(server->port(), 0);
    client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
    client->set_read_timeout(5);
  }
  httplib::Result Get(const std::string& path, const httplib::Headers& headers = {}) {
    return client->Get(path.c_str(), headers);
  }
  FakeStatusSource source;
  std::unique_ptr<HttpServer> server;
  std::unique_ptr<httplib::Client> client;
};

TEST_F(Served, EveryEndpointAnswersWithItsType) {
  Serve();
  const struct {
    const char* path;
    const char* type;
    const char* bodyHas;
  } cases[] = {
      {"/api/terminals", "application/json", "\"hall-2\""},
      {"/api/records", "application/json", "\"next_after\":30"},
      {"/healthz", "text/plain; charset=utf-8", "ok"},
      {"/metrics", "text/plain; version=0.0.4; charset=utf-8",
       "pclog_terminal_up{terminal=\"gate-1\"} 1"},
      {"/", "text/html; charset=utf-8", "plant-1"},
  };
  for (const auto& c : cases) {
    auto res = Get(c.path);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, 200) << c.path;
    EXPECT_EQ(res->get_header_value("Content-Type"), c.type) << c.path;
    EXPECT_NE(res->body.find(c.bodyHas), std::string::npos) << c.path;
    EXPECT_EQ(res->get_header_value("Cache-Control"), "no-store") << c.path;
  }
  auto page = Get("/");
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'none'"),
            std::string::npos);
  auto missing = Get("/api/nothing");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(Get("/index.html")->status, 404);
}

TEST_F(Served, RecordsPagesWithinTheLimit) {
  Serve();
  const struct {
    const char* query;
    int64_t wantAfter;
    int wantLimit;
    size_t rows;
    int64_t next;
  } cases[] = {
      {"", 0, kDefaultRecordsLimit, 30, 30},
      {"?after=10&limit=5", 10, 5, 5, 15},
      {"?after=28", 28, kDefaultRecordsLimit, 2, 30},
      {"?after=30&limit=10000", 30, 10000, 0, 30},
  };
  for (const auto& c : cases) {
    auto res = Get(std::string("/api/records") + c.query);
    ASSERT_TRUE(res) << c.query;
    ASSERT_EQ(res->status, 200) << c.query;
    EXPECT_EQ(source.lastAfter, c.wantAfter) << c.query;
    EXPECT_EQ(source.lastLimit, c.wantLimit) << c.query;
    const json page = json::parse(res->body);
    EXPECT_EQ(page["records"].size(), c.rows) << c.query;
    EXPECT_EQ(page["next_after"], c.next) << c.query;
  }
  // A source that answers more than it was asked for is cut to the limit.
  source.ignoreLimit = true;
  const json page = json::parse(Get("/api/records?after=0&limit=3")->body);
  EXPECT_EQ(page["records"].size(), 3u);
  EXPECT_EQ(page["next_after"], 3);
}

TEST_F(Served, BadRecordParametersAre400WithoutAskingTheSource) {
  Serve();
  for (const char* query : {"?after=-1", "?after=abc", "?limit=0", "?limit=10001", "?limit=5x",
                            "?after=99999999999999999999", "?after=", "?limit=%2010"}) {
    const int before = source.calls;
    auto res = Get(std::string("/api/records") + query);
    ASSERT_TRUE(res) << query;
    EXPECT_EQ(res->status, 400) << query;
    EXPECT_FALSE(json::parse(res->body)["error"].get<std::string>().empty()) << query;
    EXPECT_EQ(source.calls, before) << query;
  }
}

TEST_F(Served, ASourceThatFailsGives503AndNoDetail) {
  Serve();
  source.fail = true;
  for (const char* path : {"/healthz", "/api/terminals", "/api/records", "/metrics", "/"}) {
    auto res = Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 503) << path;
    EXPECT_EQ(res->body.find("secret"), std::string::npos) << path;
    for (const auto& [name, value] : res->headers) {
      EXPECT_EQ(value.find("secret"), std::string::npos) << path << " " << name;
    }
  }
  source.fail = false;
  EXPECT_EQ(Get("/healthz")->status, 200);
}

TEST_F(Served, ATokenGuardsEveryPath) {
  const std::string token = "0123456789abcdef-site";
  Serve(token);
  const httplib::Headers good = {{"Authorization", "Bearer " + token}};
  const struct {
    std::string path;
    httplib::Headers headers;
    int status;
  } cases[] = {
      {"/api/terminals", {}, 401},
      {"/api/terminals", {{"Authorization", "Bearer wrong"}}, 401},
      {"/api/terminals", {{"Authorization", "Bearer " + token + "x"}}, 401},
      {"/api/terminals", {{"Authorization", "Basic " + token}}, 401},
      {"/api/terminals", {{"Authorization", token}}, 401},
      {"/api/terminals", good, 200},
      {"/api/terminals", {{"Authorization", "bearer " + token}}, 200},
      {"/api/records?limit=2", good, 200},
      {"/healthz", {}, 401},
      {"/healthz", good, 200},
      {"/metrics", {}, 401},
      {"/metrics", good, 200},
      {"/", {}, 401},
      {"/", good, 200},
      {"/?token=" + token, {}, 200},
      {"/?token=wrong", {}, 401},
      {"/api/terminals?token=" + token, {}, 401},  // the address form is for the page alone
      {"/no/such/path", {}, 401},                  // nothing about paths before the token
      {"/no/such/path", good, 404},
      // Another name for the server is fine once the token is there.
      {"/healthz", {{"Authorization", "Bearer " + token}, {"Host", "plant.example"}}, 200},
  };
  for (const auto& c : cases) {
    auto res = Get(c.path, c.headers);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    if (c.status == 401) {
      EXPECT_EQ(res->get_header_value("WWW-Authenticate"), "Bearer realm=\"pclog\"") << c.path;
      EXPECT_EQ(res->body.find("gate-1"), std::string::npos) << c.path;
    }
  }
}

TEST_F(Served, WithoutATokenOnlyLoopbackNamesAreServed) {
  Serve();
  const std::string port = std::to_string(server->port());
  const struct {
    std::string host;
    int status;
  } cases[] = {
      {"127.0.0.1:" + port, 200},  {"localhost:" + port, 200}, {"localhost", 200},
      {"[::1]:" + port, 200},      {"plant.example", 403},     {"attacker.example:" + port, 403},
      {"192.0.2.10:" + port, 403},
  };
  for (const auto& c : cases) {
    auto res = Get("/api/terminals", {{"Host", c.host}});
    ASSERT_TRUE(res) << c.host;
    EXPECT_EQ(res->status, c.status) << c.host;
  }
}

TEST_F(Served, CallsTheSourceOneAtATime) {
  Serve();
  std::vector<std::thread> clients;
  std::atomic<int> ok{0};
  for (int i = 0; i < 4; ++i) {
    clients.emplace_back([&] {
      httplib::Client c("127.0.0.1", server->port());
      for (int n = 0; n < 25; ++n) {
        if (auto res = c.Get("/metrics"); res && res->status == 200) ++ok;
      }
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(ok, 100);
  EXPECT_EQ(source.mostInside, 1);
}

TEST(HttpServerLifecycle, StartsStopsAndFreesItsPort) {
  FakeStatusSource source;
  HttpServer server(source, "127.0.0.1", 0, "");
  ASSERT_TRUE(server.Start()) << server.error();
  const int port = server.port();
  EXPECT_FALSE(server.Start());  // once
  // A second server cannot take the port while the first holds it.
  HttpServer rival(source, "127.0.0.1", port, "");
  EXPECT_FALSE(rival.Start());
  EXPECT_NE(rival.error().find(std::to_string(port)), std::string::npos);
  server.Stop();
  server.Stop();
  EXPECT_EQ(server.port(), 0);
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(1);
  EXPECT_FALSE(client.Get("/healthz"));
  // Stopped at once after starting, it still ends.
  for (int i = 0; i < 20; ++i) {
    HttpServer quick(source, "127.0.0.1", 0, "");
    ASSERT_TRUE(quick.Start());
    quick.Stop();
  }
}

// A browser keeps its connection open between refreshes; a stop must not
// wait on it longer than the keep-alive second.
TEST(HttpServerLifecycle, StopsPromptlyWithAnIdleBrowserConnectionOpen) {
  FakeStatusSource source;
  HttpServer server(source, "127.0.0.1", 0, "");
  ASSERT_TRUE(server.Start());
  httplib::Client browser("127.0.0.1", server.port());
  browser.set_keep_alive(true);
  ASSERT_TRUE(browser.Get("/healthz"));
  const auto start = std::chrono::steady_clock::now();
  server.Stop();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(2500));
}

// Each loopback spelling is served where a client looks for it.
TEST(HttpServerLifecycle, ServesOnTheLoopbackAddressNamed) {
  FakeStatusSource source;
  const struct {
    const char* address;
    const char* reachedAt;
  } cases[] = {
      {"", "127.0.0.1"},
      {"localhost", "127.0.0.1"},
      {"127.0.0.2", "127.0.0.2"},
      {"[::1]", "::1"},
  };
  for (const auto& c : cases) {
    HttpServer server(source, c.address, 0, "");
    if (!server.Start()) {
      // A machine without IPv6 on loopback has no ::1 to bind.
      EXPECT_STREQ(c.reachedAt, "::1") << server.error();
      continue;
    }
    httplib::Client client(c.reachedAt, server.port());
    auto res = client.Get("/healthz");
    ASSERT_TRUE(res) << c.address;
    EXPECT_EQ(res->status, 200) << c.address;
  }
}

}  // namespace
}  // namespace collect
