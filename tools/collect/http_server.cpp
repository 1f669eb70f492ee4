#include "http_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <functional>

#include "http_views.h"

namespace collect {
namespace {

constexpr char kJson[] = "application/json";
constexpr char kPlain[] = "text/plain; charset=utf-8";
constexpr char kMetricsType[] = "text/plain; version=0.0.4; charset=utf-8";

std::string_view Unbracketed(std::string_view address) {
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  return address;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Compares every byte whatever the first difference, so the time taken does
// not tell how much of a guessed token was right.
bool SameSecret(std::string_view given, std::string_view secret) {
  if (given.size() != secret.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < given.size(); ++i) diff |= given[i] ^ secret[i];
  return diff == 0;
}

std::optional<std::string_view> BearerToken(std::string_view header) {
  constexpr std::string_view kScheme = "bearer ";
  if (header.size() < kScheme.size() || !EqualsNoCase(header.substr(0, kScheme.size()), kScheme)) {
    return std::nullopt;
  }
  header.remove_prefix(kScheme.size());
  while (!header.empty() && (header.back() == ' ' || header.back() == '\t'))
    header.remove_suffix(1);
  return header;
}

// The host part of a Host header: "127.0.0.1:8080", "[::1]:8080", "localhost".
std::string_view HostName(std::string_view host) {
  if (!host.empty() && host.front() == '[') {
    auto close = host.find(']');
    return close == std::string_view::npos ? host : host.substr(0, close + 1);
  }
  auto colon = host.find(':');
  return colon == std::string_view::npos ? host : host.substr(0, colon);
}

void Text(httplib::Response& res, int status, const std::string& body) {
  res.status = status;
  res.set_content(body, kPlain);
}

}  // namespace

bool IsLoopbackAddress(std::string_view address) {
  address = Unbracketed(address);
  if (EqualsNoCase(address, "localhost") || EqualsNoCase(address, "localhost.")) return true;
  const std::string text(address);
  in_addr v4{};
  if (inet_pton(AF_INET, text.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
  }
  return false;
}

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
  ListenAddress out{"127.0.0.1", 0};
  std::string_view portText = text;
  if (!text.empty() && text.front() == '[') {
    auto close = text.find("]:");
    if (close == std::string_view::npos || close == 1) return std::nullopt;
    out.address = std::string(text.substr(1, close - 1));
    portText = text.substr(close + 2);
  } else if (auto colon = text.rfind(':'); colon != std::string_view::npos) {
    if (text.find(':') != colon) return std::nullopt;  // IPv6 needs its brackets
    if (colon > 0) out.address = std::string(text.substr(0, colon));
    portText = text.substr(colon + 1);
  }
  const char* end = portText.data() + portText.size();
  auto [ptr, ec] = std::from_chars(portText.data(), end, out.port);
  if (portText.empty() || ec != std::errc() || ptr != end || out.port < 0 || out.port > 65535) {
    return std::nullopt;
  }
  return out;
}

std::string ListenRefusal(std::string_view address, std::string_view token) {
  if (!token.empty()) {
    if (token.size() < kMinTokenLength) {
      return "the token must be at least " + std::to_string(kMinTokenLength) + " characters";
    }
    for (char c : token) {
      if (c < 0x21 || c > 0x7e) return "the token must be printable ASCII without spaces";
    }
    return "";
  }
  if (!IsLoopbackAddress(address)) {
    return "serving on " + std::string(address) +
           " needs a token: without one only loopback addresses are served";
  }
  return "";
}

// "localhost" is bound as 127.0.0.1: left to the resolver it may be ::1
// alone, which clients that try 127.0.0.1 would not reach.
HttpServer::HttpServer(StatusSource& source, std::string address, int port, std::string token)
    : source_(source),
      address_(address.empty() || EqualsNoCase(address, "localhost")
                   ? "127.0.0.1"
                   : std::string(Unbracketed(address))),
      token_(std::move(token)),
      requestedPort_(port) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start() {
  if (server_) {
    error_ = "already started";
    return false;
  }
  error_ = ListenRefusal(address_, token_);
  if (!error_.empty()) return false;
  if (requestedPort_ < 0 || requestedPort_ > 65535) {
    error_ = "port " + std::to_string(requestedPort_) + " is outside 0 to 65535";
    return false;
  }
  server_ = std::make_unique<httplib::Server>();
  // An idle kept-alive connection holds a stop for up to this long (the
  // library does not end it sooner); the page's refreshes are farther
  // apart anyway. No request here has a body.
  server_->set_keep_alive_timeout(1);
  server_->set_read_timeout(5);
  server_->set_write_timeout(5);
  server_->set_payload_max_length(64 * 1024);
  server_->new_task_queue = [] { return new httplib::ThreadPool(4); };
  // The library's default is SO_REUSEPORT, which lets a second collector
  // bind the same port and silently take half of the requests. A restart
  // still rebinds at once through SO_REUSEADDR.
  server_->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  Route();
  int bound = -1;
  if (requestedPort_ == 0) {
    bound = server_->bind_to_any_port(address_);
  } else if (server_->bind_to_port(address_, requestedPort_)) {
    bound = requestedPort_;
  }
  if (bound <= 0) {
    error_ = "cannot listen on " + address_ + " port " + std::to_string(requestedPort_) +
             ": in use, or not an address of this machine";
    server_.reset();
    return false;
  }
  port_ = bound;
  listenEnded_ = false;
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listenEnded_ = true;
  });
  return true;
}

void HttpServer::Stop() {
  if (!thread_.joinable()) return;
  // The listening loop marks itself running as it starts; a stop asked
  // before that would be lost, so wait for it (or for its end).
  while (!server_->is_running() && !listenEnded_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!listenEnded_) server_->stop();
  thread_.join();
  server_.reset();
  port_ = 0;
}

void HttpServer::Route() {
  server_->set_default_headers(
      {{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});

  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (token_.empty()) {
      // Served on loopback only. A page elsewhere could still reach it
      // through a name it points at 127.0.0.1; such requests carry that
      // name as Host, and are turned away.
      const std::string host = req.get_header_value("Host");
      if (req.has_header("Host") && !IsLoopbackAddress(HostName(host))) {
        Text(res, 403, "forbidden: not addressed to this machine's loopback\n");
        return httplib::Server::HandlerResponse::Handled;
      }
      return httplib::Server::HandlerResponse::Unhandled;
    }
    const std::string authorization = req.get_header_value("Authorization");
    if (auto given = BearerToken(authorization); given && SameSecret(*given, token_)) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    if (req.path == "/" && req.has_param("token") &&
        SameSecret(req.get_param_value("token"), token_)) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    res.set_header("WWW-Authenticate", "Bearer realm=\"pclog\"");
    Text(res, 401, "unauthorized\n");
    return httplib::Server::HandlerResponse::Handled;
  });

  // Every answer from the source is taken under one lock; a source that
  // throws gives 503 with nothing of its message.
  auto answer = [this](httplib::Response& res, const std::function<void()>& body) {
    try {
      std::lock_guard lock(sourceMutex_);
      body();
    } catch (...) {
      Text(res, 503, "the collector did not answer\n");
    }
  };

  server_->Get("/api/terminals", [answer, this](const httplib::Request&, httplib::Response& res) {
    answer(res, [&] { res.set_content(TerminalsJson(source_.Terminals()), kJson); });
  });

  server_->Get("/api/records", [answer, this](const httplib::Request& req, httplib::Response& res) {
    auto param = [&](const char* name) -> std::optional<std::string> {
      if (!req.has_param(name)) return std::nullopt;
      return req.get_param_value(name);
    };
    auto parsed = ParseRecordsQuery(param("after"), param("limit"));
    if (!parsed.query) {
      res.status = 400;
      res.set_content(ErrorJson(parsed.error), kJson);
      return;
    }
    const RecordsQuery q = *parsed.query;
    answer(res, [&] {
      auto rows = source_.RecordsAfter(q.after, q.limit);
      if (rows.size() > static_cast<size_t>(q.limit)) rows.resize(q.limit);
      res.set_content(RecordsJson(rows, q.after), kJson);
    });
  });

  server_->Get("/healthz", [answer, this](const httplib::Request&, httplib::Response& res) {
    answer(res, [&] {
      source_.Site();
      Text(res, 200, "ok\n");
    });
  });

  server_->Get("/metrics", [answer, this](const httplib::Request&, httplib::Response& res) {
    answer(res, [&] {
      res.set_content(MetricsText(source_.Site(), source_.Counters(), source_.Terminals()),
                      kMetricsType);
    });
  });

  server_->Get("/", [answer, this](const httplib::Request&, httplib::Response& res) {
    answer(res, [&] {
      res.set_content(StatusPageHtml(source_.Site(), source_.Terminals()),
                      "text/html; charset=utf-8");
      // The page loads nothing from anywhere; its scripts and style are
      // its own, and it talks only to this server.
      res.set_header("Content-Security-Policy",
                     "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                     "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'");
      res.set_header("X-Frame-Options", "DENY");
      res.set_header("Referrer-Policy", "no-referrer");
    });
  });

  server_->set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) {
      Text(res, res.status, res.status == 404 ? "not found\n" : "error\n");
    }
  });
}

}  // namespace collect
