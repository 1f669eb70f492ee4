/* Named test cases for the programs run under Wine.
 *
 * A program keeps a table of cases; each names what it needs around it (the
 * simulated terminals on the com ports, a desktop or none), which
 * run_wine_tests.sh reads with --list and sets up before running the cases
 * that share it. Checks inside a case report and count failures; a case
 * passes when none of its checks failed. */
#ifndef WPL_WINE_CASE_RUNNER_H
#define WPL_WINE_CASE_RUNNER_H

#include <stdio.h>
#include <string.h>
#include <windows.h>

struct WineCase {
  const char* name;
  /* ';'-separated: "comN OPTIONS" for a pclog-sim on port N (OPTIONS are
   * the simulator's, without --link; relative paths are in the data folder
   * W_PCLOG_DIR), "tcp ADDRESS[,FAULT]" for a network
   * terminal on port 1024 of a loopback address (pclog-sim --tcp),
   * "display" when the case needs a desktop, "nodisplay" when it must run
   * without one. Empty: no terminal on any port. */
  const char* setup;
  void (*run)(void);
};

static int wpl_check_failures;

static inline int WplCheck(int ok, const char* what, const char* file, int line) {
  if (!ok) {
    printf("  %s:%d: check failed: %s\n", file, line, what);
    ++wpl_check_failures;
  }
  return ok;
}

static inline int WplCheckEq(long long actual, long long expected, const char* what,
                             const char* file, int line) {
  if (actual != expected) {
    printf("  %s:%d: check failed: %s is %lld, expected %lld\n", file, line, what, actual,
           expected);
    ++wpl_check_failures;
  }
  return actual == expected;
}

static inline int WplCheckStr(const char* actual, const char* expected, const char* what,
                              const char* file, int line) {
  int same = actual && strcmp(actual, expected) == 0;
  if (!same) {
    printf("  %s:%d: check failed: %s is \"%s\", expected \"%s\"\n", file, line, what,
           actual ? actual : "(null)", expected);
    ++wpl_check_failures;
  }
  return same;
}

#define CHECK(cond) WplCheck(!!(cond), #cond, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) \
  WplCheckEq((long long)(actual), (long long)(expected), #actual, __FILE__, __LINE__)
#define CHECK_STR(actual, expected) WplCheckStr((actual), (expected), #actual, __FILE__, __LINE__)

static inline unsigned long long NowMs(void) { return GetTickCount64(); }

/* --list prints "name<TAB>setup" per case. Otherwise runs the cases named on
 * the command line (all when none is named), one line each, and last the
 * line "N passed, M failed". The exit status is 1 when any case failed. */
static inline int RunWineCases(const struct WineCase* cases, size_t count, int argc, char** argv) {
  size_t i;
  int a, passed = 0, failed = 0;
  setvbuf(stdout, NULL, _IONBF, 0);
  if (argc == 2 && strcmp(argv[1], "--list") == 0) {
    for (i = 0; i < count; ++i) printf("%s\t%s\n", cases[i].name, cases[i].setup);
    return 0;
  }
  for (a = 1; a < argc || (argc == 1 && a == 1); ++a) {
    int found = 0;
    for (i = 0; i < count; ++i) {
      unsigned long long start;
      int before;
      if (argc > 1 && strcmp(argv[a], cases[i].name) != 0) continue;
      found = 1;
      before = wpl_check_failures;
      start = NowMs();
      cases[i].run();
      if (wpl_check_failures == before) {
        ++passed;
        printf("PASS %s (%llu ms)\n", cases[i].name, NowMs() - start);
      } else {
        ++failed;
        printf("FAIL %s (%llu ms)\n", cases[i].name, NowMs() - start);
      }
    }
    if (!found) {
      ++failed;
      printf("FAIL %s: no such case\n", argv[a]);
    }
  }
  printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}

#endif /* WPL_WINE_CASE_RUNNER_H */
