// pclog-sim: KORVANE terminals on a pseudo-terminal and on loopback TCP
// addresses, for tests and demos.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "backup_options.h"
#include "card_options.h"
#include "modem.h"
#include "modem_options.h"
#include "module_options.h"
#include "pty_frontend.h"
#include "record_options.h"
#include "settings_options.h"
#include "tcp_frontend.h"

namespace {

std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }
// SIGUSR1 asks every front-end to print what its terminals hold.
std::atomic<unsigned> g_stateRequests{0};
void OnStateSignal(int) { g_stateRequests.fetch_add(1); }

// What each terminal holds, one JSON object a line, named by its link or
// its address.
struct Named {
  std::string name;
  const wpl::sim::TerminalModel* model;
};

void PrintStates(const std::vector<Named>& terminals, std::FILE* out) {
  static std::mutex mutex;  // the front-ends print from their own threads
  std::lock_guard lock(mutex);
  for (const Named& t : terminals) {
    nlohmann::ordered_json state = {{"terminal", t.name}};
    state.update(t.model->State());
    // A name that is not UTF-8 (a pty path) is shown with U+FFFD for its
    // stray bytes rather than written as invalid JSON.
    const std::string line = state.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fprintf(out, "%s\n", line.c_str());
  }
  std::fflush(out);
}

// Called by a front-end on its own thread: prints its terminals once for
// every SIGUSR1 that came since it last looked.
std::function<void()> StatePrinter(std::vector<Named> terminals) {
  return [terminals = std::move(terminals), seen = 0u]() mutable {
    const unsigned requests = g_stateRequests.load();
    if (requests == seen) return;
    seen = requests;
    PrintStates(terminals, stdout);
  };
}

// A network terminal from "ADDRESS[,FAULT...]": each FAULT is one of the
// answer faults or close-after-frame, close-at-once, close-after-bytes=N, or
// greeting=HEX (the bytes the terminal sends as soon as a connection stands,
// as terminals that take voice entries over the network do).
struct NetworkTerminal {
  std::string address;
  std::optional<wpl::sim::AckFault> ackFault;
  wpl::sim::NetworkFaults faults;
};

void ApplyNetworkFault(NetworkTerminal& t, const std::string& fault,
                       const std::map<std::string, wpl::sim::AckFault>& ackFaults);

NetworkTerminal ParseNetworkTerminal(const std::string& text,
                                     const std::map<std::string, wpl::sim::AckFault>& ackFaults) {
  NetworkTerminal t;
  const auto comma = text.find(',');
  t.address = text.substr(0, comma);
  if (comma == std::string::npos) return t;
  std::stringstream items(text.substr(comma + 1));
  for (std::string fault; std::getline(items, fault, ',');) ApplyNetworkFault(t, fault, ackFaults);
  return t;
}

std::vector<uint8_t> Hex(const std::string& text) {
  if (text.size() % 2 != 0) throw std::runtime_error("odd number of hex digits: " + text);
  std::vector<uint8_t> out;
  for (size_t i = 0; i < text.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  return out;
}

void ApplyNetworkFault(NetworkTerminal& t, const std::string& fault,
                       const std::map<std::string, wpl::sim::AckFault>& ackFaults) {
  const std::string kAfterBytes = "close-after-bytes=";
  const std::string kGreeting = "greeting=";
  if (auto it = ackFaults.find(fault); it != ackFaults.end()) {
    t.ackFault = it->second;
  } else if (fault == "close-after-frame") {
    t.faults.closeAfterFrame = true;
  } else if (fault == "close-at-once") {
    t.faults.closeAfterSent = 0;
  } else if (fault.rfind(kAfterBytes, 0) == 0) {
    t.faults.closeAfterSent = std::stoul(fault.substr(kAfterBytes.size()));
  } else if (fault.rfind(kGreeting, 0) == 0) {
    t.faults.greeting = Hex(fault.substr(kGreeting.size()));
  } else {
    throw std::runtime_error("unknown network fault: " + fault);
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace wpl::sim;
  CLI::App app{"KORVANE terminal simulator on a pseudo-terminal and on loopback TCP"};
  std::string link;
  std::vector<std::string> tcp;
  std::string readyPath;
  std::string statePath;
  std::string logPath;
  std::string fault = "none";
  int address = 1;
  uint32_t baud = 57600;
  int stopBits = 1;
  int ackDelayMs = 0;
  bool pace = false;
  auto* linkOpt =
      app.add_option("--link", link, "Path of the symlink to the pty device (e.g. /tmp/com3)");
  auto* tcpOpt = app.add_option("--tcp", tcp,
                                "A network terminal on port 1024 of a loopback address "
                                "(127.x.y.z), as ADDRESS[,FAULT...]: FAULT is a --fault value or "
                                "close-after-frame, close-at-once, close-after-bytes=N, "
                                "greeting=HEX");
  app.add_option("--ready", readyPath, "Create this file once every terminal is being served");
  app.add_option("--state", statePath,
                 "At exit, write what each terminal holds to this file (JSON, a line each); "
                 "SIGUSR1 prints it on stdout at any time, and so does the exit");
  app.add_option("--address", address, "Terminal address byte")->check(CLI::Range(0, 255));
  app.add_option("--baud", baud, "Line speed the terminal listens at");
  app.add_option("--stop-bits", stopBits, "Stop bits the terminal expects")
      ->check(CLI::Range(1, 2));
  app.add_option("--log", logPath, "Log every received byte with a timestamp to this file");
  app.add_option("--fault", fault, "Answer to frames: none, silent, nak, late, wrong-speed")
      ->check(CLI::IsMember({"none", "silent", "nak", "late", "wrong-speed"}));
  app.add_option("--ack-delay-ms", ackDelayMs, "Delay of the ACK with --fault late");
  app.add_flag("--pace", pace, "Send no faster than the line speed carries bytes");
  RecordOptions records;
  AddRecordOptions(app, records);
  SettingsOptions settingsOptions;
  AddSettingsOptions(app, settingsOptions);
  ModemOptions modemOptions;
  AddModemOptions(app, modemOptions);
  CardOptions cards;
  AddCardOptions(app, cards);
  ModuleOptions module;
  AddModuleOptions(app, module);
  BackupOptions backup;
  AddBackupOptions(app, backup);
  CLI11_PARSE(app, argc, argv);
  if (linkOpt->count() == 0 && tcpOpt->count() == 0) {
    std::fprintf(stderr, "pclog-sim: give --link, --tcp or both\n");
    return 2;
  }

  static const std::map<std::string, AckFault> kFaults = {{"none", AckFault::kNone},
                                                          {"silent", AckFault::kSilent},
                                                          {"nak", AckFault::kNak},
                                                          {"late", AckFault::kLate},
                                                          {"wrong-speed", AckFault::kWrongSpeed}};
  TerminalConfig config;
  config.address = static_cast<uint8_t>(address);
  config.baud = baud;
  config.stopBits = stopBits;
  config.ackFault = kFaults.at(fault);
  config.ackDelay = Millis{ackDelayMs};
  config.pace = pace;
  ApplyRecordOptions(records, config);
  ApplyCardOptions(cards, config);
  std::vector<Named> networkNames, ptyNames;
  ApplyModuleOptions(module, config);
  try {
    ApplyBackupOptions(backup, config);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pclog-sim: %s\n", e.what());
    return 2;
  }

  std::FILE* log = nullptr;
  if (!logPath.empty() && !(log = std::fopen(logPath.c_str(), "a"))) {
    std::perror(logPath.c_str());
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  struct sigaction state {};
  state.sa_handler = OnStateSignal;
  state.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &state, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  try {
    ApplySettingsOptions(settingsOptions, config);
    // The network terminals: one model each, kept across connections.
    std::deque<TerminalModel> networkModels;
    TcpFrontend network(log);
    for (const std::string& text : tcp) {
      NetworkTerminal t = ParseNetworkTerminal(text, kFaults);
      TerminalConfig c = config;
      c.network = true;
      if (t.ackFault) c.ackFault = *t.ackFault;
      network.Add(t.address, networkModels.emplace_back(c), t.faults);
      LoadRecords(records, networkModels.back());
      networkNames.push_back({t.address, &networkModels.back()});
      LoadCards(cards, networkModels.back());
      std::printf("pclog-sim: network terminal on %s:%u\n", t.address.c_str(), kTerminalPort);
    }
    std::optional<TerminalModel> model;
    std::optional<PtyFrontend> pty;
    // Behind a modem: one terminal per number that connects.
    std::deque<TerminalModel> dialled;
    std::optional<ModemModel> modem;
    if (!link.empty() && modemOptions.enabled) {
      modem.emplace(MakeModem(modemOptions, [&] {
        LoadRecords(records, dialled.emplace_back(config));
        return &dialled.back();
      }));
      if (log) {
        modem->SetLog([log](Nanos now, const std::string& text) {
          std::fprintf(log, "%.6f modem: %s\n", std::chrono::duration<double>(now).count(),
                       text.c_str());
          std::fflush(log);
        });
      }
      pty.emplace(*modem, link, log, true);
      std::printf("pclog-sim: modem at %u baud on %s -> %s\n", modemOptions.baud, link.c_str(),
                  pty->devicePath().c_str());
    } else if (!link.empty()) {
      model.emplace(config);
      LoadRecords(records, *model);
      LoadCards(cards, *model);
      LoadTemplates(module, *model);
      pty.emplace(*model, link, log);
      ptyNames.push_back({link, &*model});
      std::printf("pclog-sim: terminal %d at %u baud on %s -> %s\n", address, baud, link.c_str(),
                  pty->devicePath().c_str());
    }
    std::vector<TerminalModel*> fed;
    for (auto& m : networkModels) fed.push_back(&m);
    if (model) fed.push_back(&*model);
    RealtimeFeeder feeder(cards, fed, g_stop);
    std::fflush(stdout);
    if (!readyPath.empty()) std::ofstream ready(readyPath);
    if (tcp.empty()) {
      pty->Run(g_stop, StatePrinter(ptyNames));
    } else if (!pty) {
      network.Run(g_stop, StatePrinter(networkNames));
    } else {
      std::thread serveNetwork([&] { network.Run(g_stop, StatePrinter(networkNames)); });
      pty->Run(g_stop, StatePrinter(ptyNames));
      serveNetwork.join();
    }
    // Every front-end has stopped: what the terminals hold is final.
    std::vector<Named> all = ptyNames;
    all.insert(all.end(), networkNames.begin(), networkNames.end());
    PrintStates(all, stdout);
    if (!statePath.empty()) {
      std::FILE* f = std::fopen(statePath.c_str(), "w");
      if (!f) throw std::runtime_error("cannot write " + statePath);
      PrintStates(all, f);
      std::fclose(f);
    }
    if (model) SaveTemplates(module, *model);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pclog-sim: %s\n", e.what());
    return 1;
  }
  if (log) std::fclose(log);
  return 0;
}
