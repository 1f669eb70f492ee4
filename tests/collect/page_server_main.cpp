// Serves the collector's HTTP side on a free loopback port from two
// made-up terminals, for looking at the status page in a browser. Prints
// "port N" once listening, and stops on SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>
#include <string>

#include "fake_status_source.h"
#include "http_server.h"

int main(int argc, char** argv) {
  const std::string token = argc > 1 ? argv[1] : "";
  // Blocked before the server's threads start, so that they inherit the
  // mask and the signal is taken only by sigwait below.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  collect::FakeStatusSource source;
  collect::TwoTerminals(source);
  collect::HttpServer server(source, "127.0.0.1", 0, token);
  if (!server.Start()) {
    std::fprintf(stderr, "collect_page_server: %s\n", server.error().c_str());
    return 1;
  }
  std::printf("port %d\n", server.port());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stop, &signal);
  server.Stop();
  return 0;
}
