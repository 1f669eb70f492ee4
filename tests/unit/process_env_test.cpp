#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <thread>

#include "platform/env.h"
#include "platform/fine_sleeps.h"

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace wpl {
namespace {

// Calls on several threads at once: a call that starts on one thread, after
// the host changed W_PCLOG_DIR, leaves the data folder of a call running on
// another thread as it was.
TEST(ProcessEnv, ACallOnAnotherThreadLeavesTheRunningCallsFolder) {
  const char* had = std::getenv("W_PCLOG_DIR");
  const std::string saved = had ? had : "";
  ::setenv("W_PCLOG_DIR", "/srv/site-a", 1);
  const Env& running = ProcessEnv();
  ASSERT_EQ(running.dataDir, "/srv/site-a/");
  ::setenv("W_PCLOG_DIR", "/srv/site-b", 1);
  std::string other;
  const Env* otherEnv = nullptr;
  Clock* otherClock = nullptr;
  FileSystem* otherFiles = nullptr;
  std::thread([&] {
    const Env& env = ProcessEnv();
    otherEnv = &env;
    other = env.dataDir;
    otherClock = env.clock;
    otherFiles = env.files;
  }).join();
  EXPECT_EQ(other, "/srv/site-b/");
  EXPECT_EQ(running.dataDir, "/srv/site-a/");
  EXPECT_NE(otherEnv, &running);
  // The services themselves are shared.
  EXPECT_EQ(otherClock, running.clock);
  EXPECT_EQ(otherFiles, running.files);
  if (had) {
    ::setenv("W_PCLOG_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("W_PCLOG_DIR");
  }
}

#ifdef __linux__
// Per-byte pauses keep to 1 us of their end while a FineSleeps is held, and
// the thread's slack is its own again afterwards.
TEST(FineSleeps, NarrowsTheTimerSlackForTheirDuration) {
  ASSERT_EQ(::prctl(PR_SET_TIMERSLACK, 70'000UL, 0, 0, 0), 0);
  {
    FineSleeps fine;
    EXPECT_EQ(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), 1'000);
  }
  EXPECT_EQ(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), 70'000);
  ::prctl(PR_SET_TIMERSLACK, 0UL, 0, 0, 0);
}
#endif

}  // namespace
}  // namespace wpl
