// The fine timer is taken by the conversation itself wherever a pause is
// shorter than the system's timer step: on Linux, every such pause runs with
// the thread's timer slack at 1 us, and the slack is the thread's own again
// once the call returns.
#include <gtest/gtest.h>

#ifdef __linux__
#include <sys/prctl.h>

#include <string_view>
#include <vector>

#include "exports/results.h"
#include "fingerprint/backup.h"
#include "link/lan_connection.h"
#include "link/serial_command.h"
#include "rigs.h"
#include "settings/settings.h"

namespace wpl {
namespace {

using testing::VirtualEnv;

constexpr unsigned long kCoarseSlack = 70'000;  // ns: what the thread has outside a call

// Passes the time on to the virtual clock and notes, for each pause, whether
// the fine slack was in force.
class SlackClock : public Clock {
 public:
  explicit SlackClock(Clock& inner) : inner_(inner) {}
  Nanos Now() override { return inner_.Now(); }
  LocalTime Local() override { return inner_.Local(); }
  void Sleep(Millis d) override {
    (::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0) == 1'000 ? fine : coarse).push_back(d);
    inner_.Sleep(d);
  }
  std::vector<Millis> fine, coarse;

 private:
  Clock& inner_;
};

struct SlackGuard {
  SlackGuard() { ::prctl(PR_SET_TIMERSLACK, kCoarseSlack, 0, 0, 0); }
  ~SlackGuard() { ::prctl(PR_SET_TIMERSLACK, 0UL, 0, 0, 0); }
};

// Short pauses: those of a few milliseconds.
bool AnyShort(const std::vector<Millis>& pauses) {
  for (Millis p : pauses)
    if (NeedsFineSleeps(p)) return true;
  return false;
}

TEST(FineSleeps, TakenByTheConversationForShortPauses) {
  struct Case {
    std::string_view name;
    std::vector<int32_t> values;
    bool fine;  // whether the conversation has pauses that need it
  };
  const Case cases[] = {
      {"_LANSETSN", {1, 2}, true},  // 1 ms pauses, as _LANSENDNAME's
      {"_LANSETOPENCLOSE", {1}, true},
      {"_LANDISABLEPERSON", {5}, true},
      {"_LANSETTIME", {1, 2, 3, 4, 5, 6, 7}, false},
      {"_SETSN", {1, 2}, true},       // 5 ms around the 0x15
      {"_SETBELL", {1, 2, 3}, true},  // 1 ms before the port is closed
      {"_SETTIME", {1, 2, 3, 4, 5, 6, 7}, false},
  };
  for (const Case& k : cases) {
    const SlackGuard guard;
    const settings::Setting& s = *settings::FindSetting(k.name);
    testing::DualRig rig({}, 2, {{127, 0, 12, 1}});
    VirtualEnv& v = rig.Site(s.network());
    SlackClock clock(*v.env.clock);
    v.env.clock = &clock;
    const int32_t r =
        s.network()
            ? wpl::exports::DoneOrFailed(settings::RunLanSetting(v.env, s, "127.0.12.1", k.values))
            : wpl::exports::DoneOrFailed(settings::RunSerialSetting(v.env, s, 1, 2, k.values));
    EXPECT_EQ(r, 0) << k.name;
    // Every short pause under the fine timer, and none without it when the
    // conversation has no short pause.
    EXPECT_FALSE(AnyShort(clock.coarse)) << k.name;
    EXPECT_EQ(!clock.fine.empty(), k.fine) << k.name;
    EXPECT_EQ(AnyShort(clock.fine), k.fine) << k.name;
    EXPECT_EQ(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), static_cast<int>(kCoarseSlack)) << k.name;
  }
}

// A connection takes it from the start when its row's own pauses need it, so
// that its opening and closing pauses are covered too.
TEST(FineSleeps, HeldByTheConnectionFromItsRow) {
  VirtualEnv v;
  for (const auto& row : link::kLanExports) {
    link::LanConnection lan(v.env, row);
    EXPECT_EQ(lan.fineSleeps(), row.pacing.NeedsFineSleeps()) << row.name;
  }
  EXPECT_TRUE(link::LanConnection(v.env, link::LanRow("_LANSETSN")).fineSleeps());
  EXPECT_TRUE(link::LanConnection(v.env, link::LanRow("_LANREALDOWNLOAD")).fineSleeps());
  EXPECT_FALSE(link::LanConnection(v.env, link::LanRow("_LANDOWNLOAD")).fineSleeps());
  EXPECT_FALSE(link::LanConnection(v.env, link::LanRow("_LANRESTOREALL")).fineSleeps());
}

// The backup link paces every byte 1 ms apart: its line holds the fine
// timer from the port's opening to its closing, on a receive and a send.
TEST(FineSleeps, HeldByTheBackupLine) {
  sim::TerminalConfig config;
  config.backupOnly = true;
  config.backup.store = sim::BackupModule::MakeStore(300, 5);
  testing::SerialRig rig(config, 2);
  VirtualEnv& v = rig.v;
  EXPECT_TRUE(fingerprint::FindBackupPort(v.env, 2).fine.held());
  SlackClock clock(*v.env.clock);
  v.env.clock = &clock;
  for (const bool send : {false, true}) {
    const SlackGuard guard;
    clock.fine.clear();
    clock.coarse.clear();
    const auto outcome =
        send ? fingerprint::SendBackup(v.env, 2) : fingerprint::ReceiveBackup(v.env, 2);
    EXPECT_EQ(outcome, fingerprint::BackupOutcome::kDone) << send;
    EXPECT_FALSE(AnyShort(clock.coarse)) << send;
    EXPECT_TRUE(AnyShort(clock.fine)) << send;
    EXPECT_EQ(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), static_cast<int>(kCoarseSlack)) << send;
  }
}

TEST(FineSleeps, ShortPausesOfAPlan) {
  using link::BlockShape;
  const uint8_t data[] = {1, 2};
  EXPECT_FALSE(link::HoldsFinePauses(link::PlanBlock(data, BlockShape::kBytes)));
  EXPECT_FALSE(
      link::HoldsFinePauses(link::PlanBlock(data, BlockShape::kBytes, {Millis{16}, Millis{20}})));
  EXPECT_TRUE(
      link::HoldsFinePauses(link::PlanBlock(data, BlockShape::kBytes, {Millis{16}, Millis{15}})));
  EXPECT_TRUE(link::HoldsFinePauses(
      link::PlanBlock(data, BlockShape::kBytes, {.pacedFrom = 0, .paced = Millis{1}})));
  EXPECT_FALSE(NeedsFineSleeps(Millis{0}));
  EXPECT_TRUE(NeedsFineSleeps(Millis{15}));
  EXPECT_FALSE(NeedsFineSleeps(Millis{16}));
}

}  // namespace
}  // namespace wpl
#endif
