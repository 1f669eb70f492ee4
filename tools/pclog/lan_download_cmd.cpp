// pclog lan-download: the network downloads from the shell, one terminal or
// many side by side.
//
// The library runs each download on the calling thread and keeps nothing
// between calls, so downloads run side by side on worker threads, each with
// an Env of its own: its own Ui, whose progress window is its line of a
// shared ProgressBoard; the clock, files and sockets are stateless and
// shared. Each terminal writes files of its own ("pclog" + N + ".dat"/".txt")
// and the backups never replace one another, so nothing else is shared.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "commands.h"
#include "download/network_download.h"
#include "download/packets.h"
#include "link/ipv4_text.h"
#include "progress.h"

namespace pclog {
namespace {

using wpl::download::DownloadReport;
using wpl::download::NetworkDownloadKind;
using wpl::download::NetworkTarget;
using Seconds = std::chrono::duration<double>;

struct Job {
  std::string ip;
  NetworkTarget target;
};

struct Outcome {
  DownloadReport report;
  double seconds = 0;          // the whole call: pauses and conversion included
  double transferSeconds = 0;  // from the header to the end packet
};

std::string Label(const Job& job) {
  if (job.target.kind != NetworkDownloadKind::kPerTerminal) return job.ip;
  return job.ip + " #" + std::to_string(job.target.terminal);
}

uint64_t Records(const DownloadReport& r) { return r.payloadBytes / wpl::download::kRecordSize; }

std::string Result(const DownloadReport& r) {
  if (r.complete) return r.cleared ? "ok" : "ok, not cleared";
  if (!r.connected) return "FAILED: no connection";
  if (r.announced == 0 && r.payloadBytes == 0) return "FAILED: no answer";
  return "FAILED: " + std::to_string(Records(r)) + " of " + std::to_string(r.announced);
}

Outcome RunOne(const wpl::Env& base, ProgressBoard& board, size_t row, const Job& job) {
  BoardUi ui(board, row);
  wpl::Env env = base;
  env.ui = &ui;
  Outcome out;
  const auto start = std::chrono::steady_clock::now();
  try {
    out.report = wpl::download::NetworkDownload(env, job.ip.c_str(), job.target);
  } catch (const std::exception& e) {
    board.SetStatus(row, std::string("error: ") + e.what());
  }
  out.seconds = Seconds(std::chrono::steady_clock::now() - start).count();
  // The line ends with the verdict.
  board.SetStatus(row, Result(out.report));
  if (out.report.endReceived > out.report.headerStart)
    out.transferSeconds = Seconds(out.report.endReceived - out.report.headerStart).count();
  return out;
}

// Runs the jobs on at most `parallel` threads, in list order.
std::vector<Outcome> RunAll(const wpl::Env& env, const std::vector<Job>& jobs, size_t parallel,
                            ProgressBoard& board) {
  std::vector<Outcome> outcomes(jobs.size());
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t i; (i = next++) < jobs.size();) outcomes[i] = RunOne(env, board, i, jobs[i]);
  };
  std::vector<std::thread> threads;
  for (size_t t = 1; t < std::min(parallel, jobs.size()); ++t) threads.emplace_back(worker);
  worker();
  for (auto& t : threads) t.join();
  return outcomes;
}

void PrintSummary(const Job& job, const Outcome& o, const std::string& dataDir) {
  const DownloadReport& r = o.report;
  std::printf("%s: %llu of %u records in %.1f s (transfer %.2f s), %d NAK resends%s\n",
              Result(r).c_str(), static_cast<unsigned long long>(Records(r)), r.announced,
              o.seconds, o.transferSeconds, r.resendRequests,
              r.cleared ? ", terminal cleared" : "");
  const std::string stem = job.target.kind == NetworkDownloadKind::kPerTerminal
                               ? "pclog" + std::to_string(job.target.terminal)
                               : "pclog";
  std::printf("records in %s%s.dat, text in %s%s.txt\n", dataDir.c_str(), stem.c_str(),
              dataDir.c_str(), stem.c_str());
}

void PrintTable(const std::vector<Job>& jobs, const std::vector<Outcome>& outcomes,
                double wallSeconds) {
  size_t width = 8;
  for (const Job& j : jobs) width = std::max(width, j.ip.size());
  std::printf("%-*s %6s %9s %8s %7s  %s\n", static_cast<int>(width), "terminal", "N", "records",
              "time", "resends", "result");
  uint64_t total = 0;
  size_t failed = 0;
  for (size_t i = 0; i < jobs.size(); ++i) {
    const DownloadReport& r = outcomes[i].report;
    total += Records(r);
    failed += !r.complete;
    std::printf("%-*s %6d %9llu %6.1f s %7d  %s\n", static_cast<int>(width), jobs[i].ip.c_str(),
                jobs[i].target.terminal, static_cast<unsigned long long>(Records(r)),
                outcomes[i].seconds, r.resendRequests, Result(r).c_str());
  }
  std::printf("%zu terminals, %zu failed, %llu records in %.1f s\n", jobs.size(), failed,
              static_cast<unsigned long long>(total), wallSeconds);
}

struct Args {
  std::vector<std::string> terminals;  // IP or IP=N
  int terminal = 1;
  int address = 0;
  size_t parallel = 1;
};

// The jobs the arguments ask for. One IP alone is the plain download (or the
// addressed one); with --terminal, --parallel, several IPs or IP=N, every
// terminal gets files of its own, numbered N = its position in the list
// counted from --terminal (1 by default), or the N given as IP=N.
std::vector<Job> Plan(const Args& a, bool perTerminal, bool addressed) {
  perTerminal = perTerminal || a.terminals.size() > 1 ||
                std::ranges::any_of(a.terminals, [](const std::string& t) {
                  return t.find('=') != std::string::npos;
                });
  if (addressed && perTerminal)
    throw CLI::ValidationError("--address",
                               "downloads one terminal into pclog.dat: not with several terminals, "
                               "terminal numbers or --parallel");
  std::vector<Job> jobs;
  std::set<std::string> ips;
  std::set<int32_t> numbers;
  for (size_t i = 0; i < a.terminals.size(); ++i) {
    const std::string& t = a.terminals[i];
    const auto eq = t.find('=');
    Job job{t.substr(0, eq), {}};
    if (!wpl::link::ParseIpv4(job.ip.c_str()))
      throw CLI::ValidationError("terminal", "not an IPv4 address: " + job.ip);
    if (!ips.insert(job.ip).second)
      throw CLI::ValidationError("terminal", job.ip + " is listed twice");
    if (addressed) {
      job.target = {NetworkDownloadKind::kAddressed, 0, static_cast<uint8_t>(a.address)};
    } else if (perTerminal) {
      int32_t n = a.terminal + static_cast<int32_t>(i);
      if (eq != std::string::npos) {
        try {
          size_t used = 0;
          n = std::stoi(t.substr(eq + 1), &used);
          if (used != t.size() - eq - 1) throw std::invalid_argument(t);
        } catch (const std::logic_error&) {
          throw CLI::ValidationError("terminal", "not a terminal number: " + t);
        }
      }
      if (!numbers.insert(n).second)
        throw CLI::ValidationError("terminal", "two terminals numbered " + std::to_string(n) +
                                                   " would write the same files");
      job.target = {NetworkDownloadKind::kPerTerminal, n};
    }
    jobs.push_back(std::move(job));
  }
  return jobs;
}

}  // namespace

void AddLanDownload(CLI::App& app, wpl::Env& env) {
  auto args = std::make_shared<Args>();
  auto* cmd = app.add_subcommand(
      "lan-download",
      "Download the records of network terminals, convert them and clear the terminals");
  cmd->add_option("terminals", args->terminals,
                  "IPv4 addresses (TCP port 1024). One alone: pclog.dat and pclog.txt. Several "
                  "(or with --terminal/--parallel): pclogN.dat and pclogN.txt, N being the "
                  "position in the list (from --terminal, 1 by default), or IP=N")
      ->required();
  auto* terminal =
      cmd->add_option("--terminal", args->terminal,
                      "Number of the (first) terminal in the file names: pclogN.dat (the "
                      "export _LANMANYDOWNLOAD)");
  auto* address = cmd->add_option("--address", args->address,
                                  "Address byte for the frame instead of 0xFA, one terminal "
                                  "into pclog.dat (the export _LANDOWNLOADADDR)")
                      ->check(CLI::Range(0, 255));
  terminal->excludes(address);
  auto* parallel = cmd->add_option("--parallel", args->parallel,
                                   "Download up to K terminals at once, each into its own files")
                       ->check(CLI::Range(1, 256));
  cmd->callback([args, terminal, address, parallel, &env] {
    const std::vector<Job> jobs =
        Plan(*args, terminal->count() > 0 || parallel->count() > 0, address->count() > 0);
    std::vector<std::string> labels;
    for (const Job& j : jobs) labels.push_back(Label(j));
    const auto start = std::chrono::steady_clock::now();
    std::vector<Outcome> outcomes;
    {
      ProgressBoard board(std::move(labels), ::isatty(STDERR_FILENO) == 1);
      outcomes = RunAll(env, jobs, args->parallel, board);
    }
    const double wall = Seconds(std::chrono::steady_clock::now() - start).count();
    const bool allDone =
        std::ranges::all_of(outcomes, [](const Outcome& o) { return o.report.complete; });
    Json terminals = Json::array();
    for (size_t i = 0; i < jobs.size(); ++i) {
      const DownloadReport& r = outcomes[i].report;
      terminals.push_back({{"ip", jobs[i].ip},
                           {"terminal", jobs[i].target.terminal},
                           {"records", Records(r)},
                           {"seconds", JsonValue(outcomes[i].seconds)},
                           {"resends", r.resendRequests},
                           {"result", Result(r)}});
    }
    AddJsonField("terminals", std::move(terminals));
    Field("seconds", wall);
    if (jobs.size() == 1 && parallel->count() == 0) {
      PrintSummary(jobs[0], outcomes[0], env.dataDir);
    } else {
      PrintTable(jobs, outcomes, wall);
    }
    Finish(allDone ? 0 : 1);
  });
}

}  // namespace pclog
