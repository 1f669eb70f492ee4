// The progress display: what each change writes, on a terminal (lines
// redrawn in place) and in a log (status changes and notes only).
#include "progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace pclog {
namespace {

// What a board writes while `act` runs on it.
std::string Written(std::vector<std::string> labels, bool live, BoardShape shape,
                    const std::function<void(ProgressBoard&)>& act) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  {
    ProgressBoard board(std::move(labels), live, out, shape);
    act(board);
  }
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

TEST(ProgressBoard, WhatEachChangeWrites) {
  struct Case {
    const char* what;
    std::vector<std::string> labels;
    bool live;
    BoardShape shape;
    std::function<void(ProgressBoard&)> act;
    std::string out;
  };
  const std::string bar25 = std::string(25, '.');
  const Case cases[] = {
      {"log: positions are not written",
       {"10.0.0.1", "b"},
       false,
       {},
       [](ProgressBoard& b) {
         b.SetPosition(0, 40);
         b.SetStatus(1, "connected");
         b.SetStatus(1, "connected");
         b.Message(0, "no answer", "pclog");
       },
       "b: connected\n10.0.0.1: pclog: no answer\n"},
      {"terminal: drawn once, then each line rewritten in place",
       {"first", "b"},
       true,
       {},
       [](ProgressBoard& b) {
         b.SetPosition(1, 40);
         b.SetPosition(1, 40);
         b.SetPosition(0, 250);
       },
       "first\nb    \n"
       "\033[1A\rb     [##########...............]  40%\033[K\033[1B\r"
       "\033[2A\rfirst [#########################] 100%\033[K\033[2B\r"},
      {"terminal: a status after the bar",
       {"a"},
       true,
       {},
       [](ProgressBoard& b) {
         b.SetPosition(0, 0);
         b.SetStatus(0, "done");
       },
       "a\n\033[1A\ra [" + bar25 + "]   0%\033[K\033[1B\r\033[1A\ra [" + bar25 +
           "]   0% done\033[K\033[1B\r"},
      {"counting steps: no label, the count after the percentage",
       {""},
       true,
       {.barWidth = 30, .steps = 3},
       [](ProgressBoard& b) { b.Step(0); },
       "[" + std::string(30, '.') + "]   0% 0/3\n\033[1A\r[##########" + std::string(20, '.') +
           "]  33% 1/3\033[K\033[1B\r"},
      {"counting steps: a note goes above the line",
       {""},
       true,
       {.barWidth = 4, .steps = 2},
       [](ProgressBoard& b) {
         b.Step(0);
         b.Note("line 3: refused");
       },
       "[....]   0% 0/2\n\033[1A\r[##..]  50% 1/2\033[K\033[1B\r"
       "\033[1A\rline 3: refused\033[K\n[##..]  50% 1/2\033[K\n"},
      {"log: notes only",
       {""},
       false,
       {.barWidth = 30, .steps = 2},
       [](ProgressBoard& b) {
         b.Step(0);
         b.Note("line 3: refused");
         b.Step(0);
       },
       "line 3: refused\n"},
      {"more steps than counted stay at the whole",
       {""},
       true,
       {.barWidth = 2, .steps = 1},
       [](ProgressBoard& b) {
         b.Step(0);
         b.Step(0);
       },
       "[..]   0% 0/1\n\033[1A\r[##] 100% 1/1\033[K\033[1B\r\033[1A\r[##] 100% 1/1\033[K\033[1B\r"},
  };
  for (const Case& k : cases) EXPECT_EQ(Written(k.labels, k.live, k.shape, k.act), k.out) << k.what;
}

TEST(BoardUi, TheLibrarysWindowIsTheRowsLine) {
  const std::string out = Written({"x", "y"}, false, {}, [](ProgressBoard& b) {
    BoardUi ui(b, 1);
    auto view = ui.OpenProgress(wpl::ProgressKind{});
    view->SetPosition(50);
    view->SetStatus("block 2");
    ui.ShowMessage("no terminal", "pclog");
  });
  EXPECT_EQ(out, "y: block 2\ny: pclog: no terminal\n");
}

}  // namespace
}  // namespace pclog
