#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "exports/results.h"
#include "file_contents.h"
#include "link/network_basics.h"
#include "link/serial_basics.h"
#include "network_site.h"
#include "platform/trace.h"
#include "rigs.h"

namespace wpl {
namespace {

using sim::TerminalModel;
using testing::ReadFile;
using testing::VirtualEnv;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  return lines;
}

// Whether this process has `path` open: a descriptor of /proc/self/fd leads to it.
bool HoldsOpen(const std::string& path) {
  std::error_code error;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error))
    if (std::filesystem::read_symlink(fd.path(), error) == std::filesystem::path(path)) return true;
  return false;
}

// The trace of a call in a virtual environment, read back from its file.
struct Traced {
  explicit Traced(VirtualEnv& v)
      : path(v.dir.path() + "wire.trace"),
        trace(TraceLog::Open(path, false, v.clock), v.serial, v.sockets) {
    trace.Apply(v.env);
  }
  std::vector<std::string> Read() const { return Lines(ReadFile(path)); }
  std::string path;
  WireTrace trace;
};

TEST(WireTrace, SerialScanWithSpeedsStopBitsAndBothDirections) {
  testing::SerialRig rig({.address = 1, .baud = 19200}, 3);
  VirtualEnv& v = rig.v;
  v.serial.SetAbsent(4);
  Traced traced(v);
  ASSERT_EQ(wpl::exports::PortOrNone(link::TestCom(v.env, 1, 3)), 3);
  const auto lines = traced.Read();
  const std::vector<std::string> expected{
      "    0.000000 w_pclog trace started 2026-05-17 14:03:09",
      "    0.000000 com3 open",
      "    0.000000 com3 57600 8N1 configured",
      // After the opening pause the frame goes out in the five writes the
      // protocol makes of it.
      "    0.030000 com3 57600 8N1 > 4B 4F 52 56 41 4E 45 4D 5A 54                    "
      "KORVANEMZT",
      "    0.030000 com3 57600 8N1 > 01                                               .",
      "    0.030000 com3 57600 8N1 > FE                                               .",
      "    0.030000 com3 57600 8N1 > 00                                               .",
      "    0.030000 com3 57600 8N1 > FF                                               .",
  };
  ASSERT_GE(lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << i;
  // The terminal hears nothing at 57600; the second attempt at 19200 is
  // answered, and the port is closed with its settings still named.
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) {
                           return l.ends_with(
                               "com3 19200 8N1 < 06                      "
                               "                         .");
                         }),
            lines.end());
  EXPECT_TRUE(lines.back().ends_with(" com3 19200 8N1 closed")) << lines.back();
}

TEST(WireTrace, SocketsByAddressWithTheirEnds) {
  testing::NetworkSite v({{127, 0, 8, 7}}, {});
  Traced traced(v);
  ASSERT_EQ(wpl::exports::DoneOrFailed(link::LanClearRecords(v.env, "127.0.8.7")), 0);
  const auto lines = traced.Read();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "    0.000000 127.0.8.7:1024 connected");
  EXPECT_EQ(lines[2],
            "    0.000000 127.0.8.7:1024 > 4B 4F 52 56 41 4E 45 4D 5A 54 FA 05 0D F2        "
            "KORVANEMZT....");
  EXPECT_EQ(lines[3], "    0.000000 127.0.8.7:1024 closed");
  // Nothing listens here: the failed connect is in the trace.
  EXPECT_EQ(wpl::exports::DoneOrFailed(link::LanClearRecords(v.env, "127.0.8.9")), 1);
  EXPECT_EQ(traced.Read().at(4), "    0.000000 127.0.8.9:1024 connect failed")
      << ReadFile(traced.path);
}

TEST(WireTrace, HexSixteenToALineWithPrintableAscii) {
  testing::FakeClock clock;
  testing::TempDir dir;
  const std::string path = dir.path() + "t";
  {
    auto log = TraceLog::Open(path, false, clock);
    ASSERT_TRUE(log);
    clock.Advance(Millis{1500});
    std::vector<uint8_t> bytes{'A', 0x00, 0x7F, 0x20, 0xFF};
    log->Bytes("x", '<', bytes);
    for (uint8_t b = 0; b < 17; ++b) bytes.push_back(static_cast<uint8_t>('a' + b));
    log->Bytes("x", '>', bytes);
    log->Bytes("x", '>', {});
  }
  const auto lines = Lines(ReadFile(path));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "    1.500000 x < 41 00 7F 20 FF                                   A.. .");
  EXPECT_EQ(lines[2],
            "    1.500000 x > 41 00 7F 20 FF 61 62 63 64 65 66 67 68 69 6A 6B  "
            "A.. .abcdefghijk");
  EXPECT_EQ(lines[3],
            "    1.500000 x > 6C 6D 6E 6F 70 71                                "
            "lmnopq");
}

TEST(WireTrace, AFailedWriteEndsTheTraceNotTheCall) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (!full) GTEST_SKIP() << "no /dev/full";
  testing::SerialRig rig({.address = 1}, 1);
  VirtualEnv& v = rig.v;
  WireTrace trace(std::make_unique<TraceLog>(full, true, v.clock), v.serial, v.sockets);
  trace.Apply(v.env);
  EXPECT_TRUE(trace.log().failed());
  EXPECT_EQ(wpl::exports::PortOrNone(link::TestCom(v.env, 1, 1)), 1);
}

TEST(WireTrace, VariableWrapsTheEnvOnlyWhenSetAndWritable) {
  VirtualEnv v;
  SerialPorts* plain = v.env.serial;
  Sockets* plainSockets = v.env.sockets;
  ApplyTraceVariable(v.env, nullptr);
  ApplyTraceVariable(v.env, "");
  ApplyTraceVariable(v.env, "/nonexistent-folder/trace");
  EXPECT_EQ(v.env.serial, plain);
  EXPECT_EQ(v.env.sockets, plainSockets);

  const std::string path = v.dir.path() + "site.trace";
  ApplyTraceVariable(v.env, path.c_str());
  ASSERT_NE(v.env.serial, plain);
  ASSERT_NE(v.env.sockets, plainSockets);
  // The trace is the call's: once its Env lets go, the file is closed.
  v.env = Env{v.env.clock, plain, v.env.files, v.env.ui, v.env.dataDir, plainSockets};
  EXPECT_FALSE(HoldsOpen(path));
  // A later call with the same file appends its own trace to it.
  ApplyTraceVariable(v.env, path.c_str());
  EXPECT_TRUE(HoldsOpen(path));
  TerminalModel t({.address = 1});
  v.serial.Attach(1, &t);
  EXPECT_EQ(wpl::exports::PortOrNone(link::TestCom(v.env, 1, 1)), 1);
  const std::string text = ReadFile(path);
  EXPECT_NE(text.find("com1 57600 8N1 < 06"), std::string::npos);
  EXPECT_NE(text.find("trace started"), text.rfind("trace started")) << text;
}

TEST(WireTrace, ProcessEnvFollowsTheVariable) {
  VirtualEnv v;
  const std::string path = v.dir.path() + "process.trace";
  ::setenv("W_PCLOG_TRACE", path.c_str(), 1);
  Env traced = ProcessEnv();
  SerialPorts* tracing = traced.serial;
  ::unsetenv("W_PCLOG_TRACE");
  Env plain = ProcessEnv();
  EXPECT_NE(plain.serial, tracing);
  EXPECT_NE(ReadFile(path).find("trace started"), std::string::npos);
}

}  // namespace
}  // namespace wpl
