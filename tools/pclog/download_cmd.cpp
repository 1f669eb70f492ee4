#include <chrono>
#include <cstdio>

#include "commands.h"
#include "download/serial_download.h"

namespace pclog {

void AddDownloads(CLI::App& app, wpl::Env& env) {
  auto* download = app.add_subcommand(
      "download", "Download every record into pclog.dat and pclog.txt, then clear the terminal");
  auto args = AddSerialTarget(download);
  download->callback([args, &env] {
    const auto start = std::chrono::steady_clock::now();
    const auto r = wpl::download::SerialDownload(env, args->address, args->port);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Field("address", args->address);
    Field("port", r.port);
    Field("records", r.payloadBytes / 6);
    Field("announced", r.announced);
    Field("seconds", seconds);
    Field("resend_requests", r.resendRequests);
    Field("odd_packets", r.unexpected);
    Field("cleared", r.cleared);
    if (r.port == 0) {
      std::printf("no terminal %d answered\n", args->address);
    } else {
      std::printf(
          "%s: %llu of %u records from port %d in %.1f s, %d resend requests, %d odd packets%s\n",
          r.result == 0 ? "complete" : "FAILED",
          static_cast<unsigned long long>(r.payloadBytes / 6), r.announced, r.port, seconds,
          r.resendRequests, r.unexpected, r.cleared ? ", terminal cleared" : "");
      std::printf("records in %spclog.dat, text in %spclog.txt\n", env.dataDir.c_str(),
                  env.dataDir.c_str());
    }
    Finish(r.result);
  });
}

}  // namespace pclog
