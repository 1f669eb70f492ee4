// The simulator's state object, read by the tests and the Python package's
// tests: every field, in its order, in compact JSON.
#include <gtest/gtest.h>

#include "terminal_model.h"

namespace wpl::sim {
namespace {

TEST(SimState, EveryFieldInItsOrder) {
  struct Case {
    const char* what;
    std::function<void(TerminalModel&)> fill;
    std::string json;
  };
  const Case cases[] = {
      {"a fresh terminal", [](TerminalModel&) {},
       R"({"address":1,"network":false,"lineSpeed":57600,"clock":[0,0,0,0,0,0,0],"machineId":0,)"
       R"("password":0,"command3":[],"openMode":0,"openTime":0,"openClose":0,"bell":[0,0,0],)"
       R"("speedRequest":[],"restores":0,"restoreAlls":0,"usersEnabled":"0-65535",)"
       R"("usersDisabled":"",)"
       R"("records":0,"clears":0,"commands":0,"templates":0,"modulePackets":0,"backupBytes":0,)"
       R"("backupTransfers":0,"cards":{"sn":{},"snLength":8,"lockNumber":null,)"
       R"("realtimeQueued":0,"realtimeAcknowledged":0},"names":{},"voices":{},"cardOnly":""})"},
      {"a terminal that holds something",
       [](TerminalModel& m) {
         m.settings().clock = {26, 5, 17, 14, 3, 9};
         m.settings().machineId = 7;
         m.settings().password = 4660;
         m.settings().command3 = {1, 255};
         m.users().enrolled.reset();
         m.users().enabled.reset();
         for (int p : {1, 2, 3, 5, 9}) m.users().enrolled[p] = true;
         for (int p : {1, 2, 3, 9}) m.users().enabled[p] = true;
         m.records().assign(18, 0);
         m.ClearRecords();
         m.records().assign(12, 0);
         m.cards().sn = {{6, 7}, {40000, 65535}};
         m.cards().lockNumber = 12;
         m.personnel().names = {{8, {66, 111, 98}}, {70, {65}}};
         m.personnel().voices = {{301, {0, 1}}};
         m.personnel().cardOnly = {1, 2, 3, 7};
       },
       R"({"address":1,"network":false,"lineSpeed":57600,"clock":[26,5,17,14,3,9,0],)"
       R"("machineId":7,"password":4660,"command3":[1,255],"openMode":0,"openTime":0,)"
       R"("openClose":0,"bell":[0,0,0],"speedRequest":[],"restores":0,"restoreAlls":0,)"
       R"("usersEnabled":"1-3,9","usersDisabled":"5","records":2,"clears":1,"commands":0,)"
       R"("templates":0,"modulePackets":0,"backupBytes":0,"backupTransfers":0,)"
       R"("cards":{"sn":{"6":7,"40000":65535},"snLength":8,"lockNumber":12,)"
       R"("realtimeQueued":0,"realtimeAcknowledged":0},"names":{"8":[66,111,98],"70":[65]},)"
       R"("voices":{"301":[0,1]},"cardOnly":"1-3,7"})"},
  };
  for (const Case& k : cases) {
    TerminalModel m({});
    k.fill(m);
    EXPECT_EQ(m.StateJson(), k.json) << k.what;
  }
}

}  // namespace
}  // namespace wpl::sim
