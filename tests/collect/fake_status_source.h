// A StatusSource that answers from fixed data, counting its calls; it can
// be told to throw, as a collector whose store is gone would.
#pragma once

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "status.h"

namespace collect {

class FakeStatusSource : public StatusSource {
 public:
  std::string site = "plant-1";
  std::vector<TerminalStatus> terminals;
  CollectorCounters counters;
  std::vector<RecordRow> records;  // in id order
  std::atomic<bool> fail{false};
  std::atomic<bool> ignoreLimit{false};  // answers more rows than asked for
  std::atomic<int> calls{0};
  std::atomic<int> inside{0}, mostInside{0};  // calls in progress at once
  int64_t lastAfter = -1;
  int lastLimit = -1;

  std::string Site() override { return Answer(site); }
  std::vector<TerminalStatus> Terminals() override { return Answer(terminals); }
  CollectorCounters Counters() override { return Answer(counters); }
  std::vector<RecordRow> RecordsAfter(int64_t afterId, int limit) override {
    lastAfter = afterId;
    lastLimit = limit;
    std::vector<RecordRow> out;
    for (const auto& r : records) {
      if (r.id > afterId && (ignoreLimit || static_cast<int>(out.size()) < limit)) {
        out.push_back(r);
      }
    }
    return Answer(out);
  }

 private:
  template <class T>
  T Answer(const T& value) {
    ++calls;
    const int now = ++inside;
    int most = mostInside;
    while (now > most && !mostInside.compare_exchange_weak(most, now)) {
    }
    std::this_thread::yield();  // widens the window in which a second call could enter
    --inside;
    if (fail) throw std::runtime_error("store unreachable: secret detail");
    return value;
  }
};

// Two terminals, one up and one down with an error that needs escaping.
inline void TwoTerminals(FakeStatusSource& source) {
  TerminalStatus gate;
  gate.id = "gate-1";
  gate.link = "ip 127.0.0.5";
  gate.mode = "download";
  gate.lastContactUtc = 1772608500;  // 2026-03-04T07:15:00Z
  gate.lastSuccessUtc = 1772608500;
  gate.recordsToday = 42;
  gate.clockOffsetSeconds = -3;
  gate.up = true;
  TerminalStatus hall;
  hall.id = "hall-2";
  hall.link = "com3 address 1";
  hall.mode = "both";
  hall.lastContactUtc = 1772604000;
  hall.failuresInRow = 4;
  hall.lastError = "no answer <b>&</b> \"timeout\"";
  hall.overdue = true;
  source.terminals = {gate, hall};
  source.counters = {1200, 7, 3};
}

}  // namespace collect
