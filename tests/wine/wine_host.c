/* wine_host: a 32-bit host program for w_pclog.dll. It loads the DLL as a
 * host application does and calls its exports by name through
 * GetProcAddress, with the stdcall types the header declares.
 *
 *   wine_host.exe --list          the cases and what each needs
 *   wine_host.exe [CASE...]       run the cases (all when none is named)
 *
 * To add a case: write a function of CHECKs and add a row to kCases with the
 * terminals it needs on the com ports (see case_runner.h). */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "case_runner.h"
#include "dialog_watcher.h"
#include "w_pclog.h"

static HMODULE g_dll;

/* The export `name`, typed as the header declares it. A missing export
 * ends the program: the export table test names it. */
#define EXPORT(name) ((__typeof__(&name))RequireExport(#name))

static FARPROC RequireExport(const char* name) {
  FARPROC proc = GetProcAddress(g_dll, name);
  if (!proc) {
    printf("FAIL: w_pclog.dll does not export %s\n", name);
    exit(2);
  }
  return proc;
}

/* How long a scan may take when it finds no port to open at all. */
#define NO_PORT_LIMIT_MS 2000

/* A terminal at 19200 on com4, the scan starting at com3 (absent): com4 at
 * 57600 goes unanswered for 1 s, then com4 at 19200 answers. */
static void TestcomScan(void) { CHECK_EQ(EXPORT(_TESTCOM)(1, 3), 4); }

/* From com6 the scan wraps: com6 and com1 are absent, com2 answers. */
static void TestcomWraps(void) { CHECK_EQ(EXPORT(_TESTCOM)(1, 6), 2); }

static void DeleteAcked(void) { CHECK_EQ(EXPORT(_DELETE)(1, 2), 0); }

/* Only the low byte of the address goes on the wire: 257 is terminal 1. */
static void AddressLowByte(void) { CHECK_EQ(EXPORT(_TESTCOM)(257, 2), 2); }

/* The only terminal answers NAK at 57600 and nothing at 19200: nine
 * attempts, of which the four at 19200 wait out their 1 s and the five NAKs
 * end at once (nine waited-out attempts would take 9 s). */
static void Refused(void) {
  unsigned long long start = NowMs();
  CHECK_EQ(EXPORT(_TESTCOM)(1, 3), -1);
  CHECK(NowMs() - start < 6500);
}

static void NoPort(void) {
  unsigned long long start = NowMs();
  CHECK_EQ(EXPORT(_TESTCOM)(1, 1), -1);
  CHECK(NowMs() - start < NO_PORT_LIMIT_MS);
  start = NowMs();
  CHECK_EQ(EXPORT(_DELETE)(1, 4), 1);
  CHECK(NowMs() - start < NO_PORT_LIMIT_MS);
}

static const struct WineCase kCases[] = {
    {"testcom-scan", "com4 --baud 19200", TestcomScan},
    {"testcom-wraps", "com2 --baud 57600", TestcomWraps},
    {"testcom-address-low-byte", "com2 --baud 57600", AddressLowByte},
    {"delete-acked", "com2 --baud 57600", DeleteAcked},
    {"refused", "com3 --fault nak", Refused},
    {"no-port", "", NoPort},
};

int main(int argc, char** argv) {
  if (!(argc == 2 && strcmp(argv[1], "--list") == 0)) {
    g_dll = LoadLibraryA("w_pclog.dll");
    if (!g_dll) {
      printf("FAIL: cannot load w_pclog.dll (error %lu)\n", GetLastError());
      return 2;
    }
    StartDialogWatcher();
  }
  return RunWineCases(kCases, sizeof kCases / sizeof kCases[0], argc, argv);
}
