// The template transfer of `pclog fp copy`, `export` and `import` against
// terminal models in virtual time: what arrives where, what each line and
// the summary say, and how a failure of one place leaves the others.
#include "template_transfer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

#include "file_contents.h"
#include "rigs.h"

namespace pclog::fp {
namespace {

using wpl::sim::ModuleFaults;
using wpl::sim::TerminalModel;
using Bytes = std::vector<uint8_t>;

// Everything a transfer writes to one stream.
class Capture {
 public:
  Capture() : out_(open_memstream(&buffer_, &size_)) {}
  ~Capture() {
    if (out_) std::fclose(out_);
    std::free(buffer_);
  }
  std::FILE* file() { return out_; }
  std::vector<std::string> Lines() {
    std::fflush(out_);
    std::istringstream in(std::string(buffer_, size_));
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }

 private:
  char* buffer_ = nullptr;
  size_t size_ = 0;
  std::FILE* out_;
};

const Terminal kFrom{1, 2, "2"};
const Terminal kFirst{1, 3, "3"};
const Terminal kSecond{1, 4, "4"};

// A source terminal on port 2 and two more on ports 3 and 4.
struct Rig : wpl::testing::SerialRig {
  explicit Rig(ModuleFaults secondFaults = {})
      : SerialRig({}, kFrom.port),
        first({}),
        second({.module = {.faults = secondFaults}}),
        staging(v.env) {
    v.serial.Attach(kFirst.port, &first);
    v.serial.Attach(kSecond.port, &second);
  }
  // Stores a template in the source's module.
  Bytes Seed(const TemplateId& id, uint32_t seed = 7) {
    Bytes t = wpl::sim::FingerprintModule::MakeTemplate(id, seed);
    terminal.module().store()[id] = t;
    return t;
  }
  int Copy(const std::vector<TemplateId>& ids) {
    return Transfer(ids, FetchFrom(staging, kFrom), SendsTo(staging, {kFirst, kSecond}), false,
                    board, v.clock, out.file());
  }

  TerminalModel first, second;
  Staging staging;
  Capture log, out;
  ProgressBoard board{{"copy from 2"}, false, log.file()};
};

// "... 1.234 s" -> 1.234, for every time on a line.
std::vector<double> Times(const std::string& line) {
  std::vector<double> out;
  static const std::regex time(R"( (\d+\.\d+) s)");
  for (std::sregex_iterator i(line.begin(), line.end(), time), end; i != end; ++i)
    out.push_back(std::stod((*i)[1]));
  return out;
}

TEST(TemplateTransfer, CopiesEveryTemplateIntoEveryTerminal) {
  Rig rig;
  const Bytes a = rig.Seed({37, 0, 2}, 1);
  const Bytes b = rig.Seed({5, 0, 1}, 2);
  rig.Seed({37, 3, 2}, 3);  // the same file name as {37, 0, 2}
  const auto ids = OnePerFile(ListTerminal(rig.staging, kFrom), rig.out.file());
  ASSERT_EQ(ids.size(), 2u);
  const auto wasSkipped = rig.out.Lines();
  ASSERT_EQ(wasSkipped.size(), 1u);
  EXPECT_EQ(wasSkipped[0],
            "0000370302  FP0037_2.TXT  skipped: another attribute of the same file name");

  const auto start = rig.v.clock.Now();
  EXPECT_EQ(rig.Copy(ids), 0);
  const double took = std::chrono::duration<double>(rig.v.clock.Now() - start).count();
  for (const TerminalModel* t : {&rig.first, &rig.second}) {
    EXPECT_EQ(t->module().store().size(), 2u);
    EXPECT_EQ(t->module().store().at({5, 0, 1}), b);
    // Sent under the key of the file, which holds the attribute it had.
    EXPECT_EQ(t->module().store().begin()->second.size(), wpl::fingerprint::kTemplateSize);
  }
  EXPECT_EQ(rig.first.module().store(), rig.second.module().store());
  EXPECT_NE(std::find_if(rig.first.module().store().begin(), rig.first.module().store().end(),
                         [&](const auto& e) { return e.second == a; }),
            rig.first.module().store().end());

  const auto lines = rig.out.Lines();
  ASSERT_EQ(lines.size(), 4u);
  const std::regex line(
      R"(\d{10}  FP\d{4}_\d\.TXT  fetched \d+\.\d{3} s; 3 ok \d+\.\d{3} s; 4 ok \d+\.\d{3} s)");
  EXPECT_TRUE(std::regex_match(lines[1], line)) << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], line)) << lines[2];
  // One step at a time: the steps' times add up to the whole, on the
  // clock of the conversations.
  double sum = 0;
  for (const size_t i : {1, 2})
    for (const double t : Times(lines[i])) {
      EXPECT_GT(t, 0.1);
      sum += t;
    }
  EXPECT_NEAR(sum, took, 0.01);
  char summary[64];
  std::snprintf(summary, sizeof summary, "2 templates, 2 done, 0 failed in %.1f s", took);
  EXPECT_EQ(lines[3], summary);
  // The board's line counts the templates.
  const auto board = rig.log.Lines();
  ASSERT_EQ(board.size(), 2u);
  EXPECT_EQ(board[0], "copy from 2: 1/2 " + FileOf(ids[0]));
  EXPECT_EQ(board[1], "copy from 2: 2/2 " + FileOf(ids[1]));
}

TEST(TemplateTransfer, AFailedPlaceOrFetchFailsItsTemplateOnly) {
  struct Case {
    const char* what;
    ModuleFaults second;
    bool missingFirst;                // the first template is not in the source
    std::vector<std::string> expect;  // the lines, times taken out
    size_t firstHolds, secondHolds;
  };
  const Case cases[] = {
      {"all well",
       {},
       false,
       {"0000050001  FP0005_1.TXT  fetched; 3 ok; 4 ok",
        "0000370002  FP0037_2.TXT  fetched; 3 ok; 4 ok", "2 templates, 2 done, 0 failed"},
       2,
       2},
      {"one terminal refuses",
       {.status = 3},
       false,
       {"0000050001  FP0005_1.TXT  fetched; 3 ok; 4 failed (status 3)",
        "0000370002  FP0037_2.TXT  fetched; 3 ok; 4 failed (status 3)",
        "2 templates, 0 done, 2 failed"},
       // The module keeps what it refused with a status of its own.
       2,
       2},
      {"a template the source lacks is placed nowhere",
       {},
       true,
       {"0000050001  FP0005_1.TXT  fetch failed (status 1)",
        "0000370002  FP0037_2.TXT  fetched; 3 ok; 4 ok", "2 templates, 1 done, 1 failed"},
       1,
       1},
  };
  for (const Case& k : cases) {
    Rig rig(k.second);
    if (!k.missingFirst) rig.Seed({5, 0, 1});
    rig.Seed({37, 0, 2});
    const int r = rig.Copy({{5, 0, 1}, {37, 0, 2}});
    EXPECT_EQ(r, k.expect.back().find(" 0 failed") != std::string::npos ? 0 : 1) << k.what;
    std::vector<std::string> lines;
    for (std::string l : rig.out.Lines())
      lines.push_back(std::regex_replace(l, std::regex(R"( (in )?\d+\.\d+ s)"), ""));
    EXPECT_EQ(lines, k.expect) << k.what;
    EXPECT_EQ(rig.first.module().store().size(), k.firstHolds) << k.what;
    EXPECT_EQ(rig.second.module().store().size(), k.secondHolds) << k.what;
    EXPECT_EQ(rig.v.serial.closes().size(), rig.v.serial.opens().size()) << k.what;
  }
}

TEST(TemplateTransfer, ExportAndImportThroughAFolder) {
  Rig rig;
  const Bytes t = rig.Seed({37, 0, 2});
  wpl::testing::TempDir folder;
  const std::string dir = folder.path().substr(0, folder.path().size() - 1);
  const std::vector<TemplateId> ids{{37, 0, 2}};
  // Into the folder.
  EXPECT_EQ(Transfer(ids, FetchFrom(rig.staging, kFrom), {PlaceIn(rig.staging, dir, false)}, false,
                     rig.board, rig.v.clock, rig.out.file()),
            0);
  EXPECT_EQ(wpl::testing::ReadFileBytes(dir + "/FP0037_2.TXT"), t);
  // Not again without force; with force, replaced.
  EXPECT_EQ(Transfer(ids, FetchFrom(rig.staging, kFrom), {PlaceIn(rig.staging, dir, false)}, false,
                     rig.board, rig.v.clock, rig.out.file()),
            1);
  EXPECT_EQ(Transfer(ids, FetchFrom(rig.staging, kFrom), {PlaceIn(rig.staging, dir, true)}, false,
                     rig.board, rig.v.clock, rig.out.file()),
            0);
  // Back out of it into a terminal; a file that is not a template is not sent.
  wpl::testing::WriteFile(dir + "/FP0005_1.TXT", "short");
  EXPECT_EQ(Transfer({{37, 0, 2}, {5, 0, 1}}, TakeFrom(rig.staging, dir),
                     SendsTo(rig.staging, {kFirst}), false, rig.board, rig.v.clock, rig.out.file()),
            1);
  EXPECT_EQ(rig.first.module().store().size(), 1u);
  EXPECT_EQ(rig.first.module().store().begin()->second, t);
  const auto lines = rig.out.Lines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(std::regex_replace(lines[2], std::regex(R"( \d+\.\d+ s)"), ""),
            "0000370002  FP0037_2.TXT  fetched; kept the existing " + dir + "/FP0037_2.TXT");
  EXPECT_EQ(lines[7], "0000050001  FP0005_1.TXT  not an 816-byte file: " + dir + "/FP0005_1.TXT");
}

TEST(TemplateTransfer, WhatStopsATransferBeforeItStarts) {
  struct Case {
    const char* what;
    std::function<void(Rig&)> run;
    std::string why;
  };
  const Case cases[] = {
      {"a source that does not answer",
       [](Rig& rig) {
         ListTerminal(rig.staging, {9, 5, "9@5"});
       },
       "no ID list from terminal 9@5"},
      {"a folder without its list", [](Rig&) { ReadIdList("/nonexistent-folder/IDLIST.TXT"); },
       "cannot read /nonexistent-folder/IDLIST.TXT"},
  };
  for (const Case& k : cases) {
    Rig rig;
    try {
      k.run(rig);
      ADD_FAILURE() << k.what;
    } catch (const TransferError& e) {
      EXPECT_EQ(std::string(e.what()), k.why) << k.what;
    }
  }
}

TEST(TemplateTransfer, TerminalsOnABusGoOneAtATime) {
  struct Case {
    std::vector<Terminal> terminals;
    bool distinct;
  };
  const Case cases[] = {
      {{}, true},
      {{kFrom, kFirst, kSecond}, true},
      {{kFrom, {2, 3, "2@3"}, kFirst}, false},
      {{{1, 6, "6"}, {9, 6, "9@6"}}, false},
  };
  for (const Case& k : cases) EXPECT_EQ(DistinctPorts(k.terminals), k.distinct);
}

TEST(TemplateTransfer, IdListFileEntries) {
  wpl::testing::TempDir dir;
  const std::string path = dir.path() + "IDLIST.TXT";
  wpl::testing::WriteFile(path, "0000370002\r\nnot an entry\r\n0020471502\n\r\n");
  const auto ids = ReadIdList(path);
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(wpl::fingerprint::IdListLine(ids[0]), "0000370002");
  EXPECT_EQ(wpl::fingerprint::IdListLine(ids[1]), "0020471502");
}

}  // namespace
}  // namespace pclog::fp
