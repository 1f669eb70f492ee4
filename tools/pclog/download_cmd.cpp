#include <chrono>
#include <cstdio>

#include "commands.h"
#include "download/modem_download.h"
#include "download/serial_download.h"
#include "exports/results.h"

namespace pclog {
namespace {

// Runs a download, then prints what it brought and ends with its result.
template <typename Download>
void RunAndSummarise(wpl::Env& env, Download&& download) {
  const auto start = std::chrono::steady_clock::now();
  const auto r = download();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Field("port", r.port);
  Field("records", r.payloadBytes / 6);
  Field("announced", r.announced);
  Field("seconds", seconds);
  Field("resend_requests", r.resendRequests);
  Field("odd_packets", r.unexpected);
  Field("cleared", r.cleared);
  if (r.port != 0) {
    std::printf(
        "%s: %llu of %u records from port %d in %.1f s, %d resend requests, %d odd packets%s\n",
        r.complete ? "complete" : "FAILED", static_cast<unsigned long long>(r.payloadBytes / 6),
        r.announced, r.port, seconds, r.resendRequests, r.unexpected,
        r.cleared ? ", terminal cleared" : "");
    std::printf("records in %spclog.dat, text in %spclog.txt\n", env.dataDir.c_str(),
                env.dataDir.c_str());
  }
  Finish(wpl::exports::DoneOrFailed(r));
}

}  // namespace

void AddDownloads(CLI::App& app, wpl::Env& env) {
  auto* download = app.add_subcommand(
      "download", "Download every record into pclog.dat and pclog.txt, then clear the terminal");
  auto args = AddSerialTarget(download);
  download->callback([args, &env] {
    RunAndSummarise(env, [&] {
      auto r = wpl::download::SerialDownload(env, args->address, args->port);
      if (r.port == 0) std::printf("no terminal %d answered\n", args->address);
      return r;
    });
  });

  auto* modem = app.add_subcommand(
      "modem-download",
      "Dial a terminal through a modem and download every record into pclog.dat and pclog.txt; "
      "the terminal keeps its records");
  auto margs = AddSerialTarget(modem);
  auto number = std::make_shared<std::string>();
  modem->add_option("NUMBER", *number, "Telephone number (1 to 32 characters)")->required();
  modem->callback([margs, number, &env] {
    RunAndSummarise(env, [&] {
      auto r = wpl::download::ModemDownload(env, margs->address, margs->port, number->c_str());
      if (!wpl::download::TelephoneNumber(number->c_str())) {
        std::printf("cannot dial \"%s\": 1 to 32 characters, no control characters\n",
                    number->c_str());
      } else if (!r.dialled) {
        std::printf("no modem answered from port %d on\n", margs->port);
      } else if (!r.connected) {
        std::printf("no connection: the dial got \"%s\"\n", r.dialReply.c_str());
      } else if (r.port == 0) {
        std::printf("connected, but terminal %d did not answer\n", margs->address);
      }
      return r;
    });
  });
}

}  // namespace pclog
