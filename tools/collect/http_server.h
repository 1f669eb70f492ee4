// The collector's HTTP side: the JSON API, the health check, the Prometheus
// metrics and the status page, served on a thread of its own from whatever
// StatusSource the collector gives it.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "status.h"

namespace httplib {
class Server;
}

namespace collect {

// "127.0.0.1:8080", "[::1]:8080", "localhost:8080" or a bare port "8080"
// (loopback). nullopt for anything else, or a port outside 0..65535.
struct ListenAddress {
  std::string address;
  int port = 0;
};
std::optional<ListenAddress> ParseListenAddress(std::string_view text);

// 127.0.0.0/8, ::1, ::ffff:127.x.x.x and "localhost".
bool IsLoopbackAddress(std::string_view address);

// Why serving on `address` with `token` is refused, in words; empty when it
// is allowed. Off loopback a token is required; any token given must be at
// least kMinTokenLength printable characters without spaces.
inline constexpr size_t kMinTokenLength = 16;
std::string ListenRefusal(std::string_view address, std::string_view token);

class HttpServer {
 public:
  // `address` empty means 127.0.0.1. With a non-empty `token` every request
  // must carry "Authorization: Bearer TOKEN" (the page may instead be
  // opened as /?token=TOKEN), else 401. The source is called from the
  // server's threads one call at a time, never concurrently with itself.
  HttpServer(StatusSource& source, std::string address, int port, std::string token);
  ~HttpServer();  // stops
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds (port 0 picks a free one) and serves on a thread of its own.
  // False, with error() saying why, when refused or when the bind fails.
  bool Start();
  // Stops listening, lets the requests in progress finish, joins. Idempotent;
  // not to be called from two threads at once.
  void Stop();
  // The bound port after a successful Start, else 0.
  int port() const { return port_; }
  const std::string& error() const { return error_; }

 private:
  void Route();
  StatusSource& source_;
  std::mutex sourceMutex_;
  std::string address_, token_, error_;
  int requestedPort_ = 0, port_ = 0;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> listenEnded_{false};
};

}  // namespace collect
