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
#include <winver.h>

#include "case_runner.h"
#include "dialog_watcher.h"
#include "progress_watcher.h"
#include "w_pclog.h"

static HMODULE g_dll;

/* The export `name`, typed as the header declares it (by way of the generic
 * function type, as the text results differ from FARPROC's int). A missing
 * export ends the program: the export table test names it. */
#define EXPORT(name) ((__typeof__(&name))(void (*)(void))RequireExport(#name))

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

/* Over Winsock: the clear reaches a terminal on loopback, which need not
 * answer; calls one after another each start sockets anew; nobody listening
 * and texts that are not addresses fail at once. */
static void LanDelete(void) {
  unsigned long long start;
  CHECK_EQ(EXPORT(_LANDELETE)("127.0.23.1"), 0);
  CHECK_EQ(EXPORT(_LANDELETE)("127.0.23.1"), 0);
  CHECK_EQ(EXPORT(_LANDELETE)("127.0.23.3"), 0);
  start = NowMs();
  CHECK_EQ(EXPORT(_LANDELETE)("127.0.23.2"), 1);
  CHECK_EQ(EXPORT(_LANDELETE)("127.0.23"), 1);
  CHECK_EQ(EXPORT(_LANDELETE)("255.255.255.255"), 1);
  CHECK_EQ(EXPORT(_LANDELETE)(NULL), 1);
  CHECK(NowMs() - start < 1000);
}

/* The data folder the run gives each group of cases, ending with '\'. */
static void DataFolder(char* dir, DWORD size) {
  DWORD n = GetEnvironmentVariableA("W_PCLOG_DIR", dir, size);
  if (n == 0 || n >= size - 1) strcpy(dir, ".\\");
}

static int WriteWholeFile(const char* path, const void* bytes, DWORD size) {
  DWORD done = 0;
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return 0;
  WriteFile(f, bytes, size, &done, NULL);
  CloseHandle(f);
  return done == size;
}

/* Up to `size` bytes of a file; the count read, or -1. */
static long ReadWholeFile(const char* path, char* out, DWORD size) {
  DWORD done = 0;
  HANDLE f = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return -1;
  ReadFile(f, out, size, &done, NULL);
  CloseHandle(f);
  return (long)done;
}

/* Converts `dat` (of `size` bytes) as dir + name + ".dat" with `convert`,
 * compares the text file with `text`, and checks that the backup folder
 * holds exactly one copy of it, named k + MMDDhhmmss + `backupTail`. */
static void CheckConversion(int32_t(WPCLOG_CALL* convert)(const char*, const char*),
                            const char* name, const void* dat, DWORD size, const char* text,
                            DWORD textSize, const char* backupTail) {
  char dir[MAX_PATH], path[MAX_PATH], got[512];
  WIN32_FIND_DATAA found;
  HANDLE find;
  int copies = 0;
  /* A folder of its own: the cases of one setup share the data folder. */
  DataFolder(dir, sizeof dir);
  strncat(dir, name, sizeof dir - strlen(dir) - 2);
  strcat(dir, "\\");
  CreateDirectoryA(dir, NULL);
  snprintf(path, sizeof path, "%s%s.dat", dir, name);
  if (!CHECK(WriteWholeFile(path, dat, size))) return;
  CHECK_EQ(convert(dir, name), 0);
  snprintf(path, sizeof path, "%s%s.txt", dir, name);
  if (CHECK_EQ(ReadWholeFile(path, got, sizeof got), textSize))
    CHECK(memcmp(got, text, textSize) == 0);

  snprintf(path, sizeof path, "%sdownbak\\k*", dir);
  find = FindFirstFileA(path, &found);
  if (!CHECK(find != INVALID_HANDLE_VALUE)) return;
  do {
    ++copies;
    CHECK_EQ(strlen(found.cFileName), 11 + strlen(backupTail));
    CHECK_STR(found.cFileName + 11, backupTail);
    snprintf(path, sizeof path, "%sdownbak\\%s", dir, found.cFileName);
    CHECK_EQ(ReadWholeFile(path, got, sizeof got), textSize);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  CHECK_EQ(copies, 1);
}

/* A stray byte, then two records; the second has both tag flags (+60). */
static void ConverFile(void) {
  static const unsigned char dat[] = {0x07, 0x01, 0x02, 0x95, 0x4F, 0x28, 0x5E,
                                      0x00, 0x07, 0x95, 0xCF, 0x28, 0x5E};
  static const char text[] = "00025808:302009051535\r\n00000708:302009051565\r\n";
  CheckConversion(EXPORT(_CONVERFILE), "site1", dat, sizeof dat, text, sizeof text - 1, "_35.txt");
}

/* The count form: flag 0xAB, count 3 times 50, device in byte 16. */
static void ConverXfFile(void) {
  static const unsigned char dat[] = {0x09, 0x05, 0x0F, 0x08, 0x1E, 0x00, 0x04, 0x00, 0x00,
                                      0x30, 0x39, 0xAB, 0x03, 0x00, 0x32, 0xFF, 0x07};
  static const char text[] = "4 0000012345 003 +000150 20090515 08:30:00 007\0\r\n";
  CheckConversion(EXPORT(_CONVERXFFILE), "till", dat, sizeof dat, text, sizeof text - 1, "_07.txt");
}

/* No record file: 15 boxes "can not open pclog.dat!", 100 ms apart, then 1. */
static void ConverFileMissing(void) {
  char dir[MAX_PATH];
  struct SeenDialog seen[WPL_MAX_DIALOGS];
  int n, i;
  DataFolder(dir, sizeof dir);
  CHECK_EQ(EXPORT(_CONVERFILE)(dir, "absent"), 1);
  n = TakeDialogs(seen, WPL_MAX_DIALOGS);
  CHECK_EQ(n, 15);
  for (i = 0; i < n; ++i) {
    CHECK_STR(seen[i].title, "Open Error");
    CHECK_STR(seen[i].text, "can not open pclog.dat!");
  }
}

/* --- The serial download ------------------------------------------------ */

/* The records a simulated terminal starts with, saved by it in the data
 * folder (--save-records) for comparison. */
#define STORE_FILE "terminal.dat"
#define STORE_SAVED "--save-records " STORE_FILE
#define RECORD_BYTES 6
#define LINE_BYTES 23 /* a record's text line, CR LF included */
#define MAX_RECORDS 500

/* Room for one byte more than a download may bring, so a longer file shows. */
static char g_store[MAX_RECORDS * RECORD_BYTES + 1];
static char g_dat[MAX_RECORDS * RECORD_BYTES + 1];
static char g_txt[MAX_RECORDS * LINE_BYTES + 1];
static char g_copy[MAX_RECORDS * LINE_BYTES + 1];

/* The data folder's file `name` into `out`: the byte count, or -1. */
static long ReadDataFile(const char* name, char* out, DWORD size) {
  char path[MAX_PATH];
  DataFolder(path, sizeof path);
  strncat(path, name, sizeof path - strlen(path) - 1);
  return ReadWholeFile(path, out, size);
}

/* pclog.txt: one line per record, 8 digits of person number, ':', 12 digits
 * of stamp and tag, CR LF. */
static void CheckTextLines(const char* txt, long size, long records) {
  long i, c;
  if (!CHECK_EQ(size, records * LINE_BYTES)) return;
  for (i = 0; i < records; ++i) {
    const char* line = txt + i * LINE_BYTES;
    int digits = 1;
    for (c = 0; c < 21; ++c)
      if (c != 8 && (line[c] < '0' || line[c] > '9')) digits = 0;
    if (!CHECK(digits && line[8] == ':' && line[21] == '\r' && line[22] == '\n')) {
      printf("  line %ld: %.23s\n", i + 1, line);
      return;
    }
  }
}

/* After a complete download of `records` records: pclog.dat holds the
 * terminal's records unchanged, pclog.txt a line for each. */
static void CheckDownloaded(long records) {
  long stored = ReadDataFile(STORE_FILE, g_store, sizeof g_store);
  long dat = ReadDataFile("pclog.dat", g_dat, sizeof g_dat);
  if (!CHECK_EQ(stored, records * RECORD_BYTES)) return;
  if (CHECK_EQ(dat, stored)) CHECK(memcmp(g_dat, g_store, (size_t)stored) == 0);
  CheckTextLines(g_txt, ReadDataFile("pclog.txt", g_txt, sizeof g_txt), records);
}

/* The backups in downbak: each copy equals the file it was made of. The
 * number of copies. */
static int CheckBackups(void) {
  char pattern[MAX_PATH], name[MAX_PATH];
  long dat = ReadDataFile("pclog.dat", g_dat, sizeof g_dat);
  long txt = ReadDataFile("pclog.txt", g_txt, sizeof g_txt);
  WIN32_FIND_DATAA found;
  HANDLE find;
  int copies = 0;
  DataFolder(pattern, sizeof pattern);
  strncat(pattern, "downbak\\k*", sizeof pattern - strlen(pattern) - 1);
  find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    const char* ext = strrchr(found.cFileName, '.');
    int isDat = ext && strcmp(ext, ".dat") == 0;
    long size;
    ++copies;
    snprintf(name, sizeof name, "downbak\\%s", found.cFileName);
    size = ReadDataFile(name, g_copy, sizeof g_copy);
    if (!CHECK_EQ(size, isDat ? dat : txt) ||
        !CHECK(memcmp(g_copy, isDat ? g_dat : g_txt, (size_t)size) == 0))
      printf("  backup %s\n", found.cFileName);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return copies;
}

/* Terminal 3 on com2, the scan starting at com1 (absent): the records, their
 * text and two backups; the terminal is cleared through com2, so a second
 * download finds it empty. */
static void DownloadAll(void) {
  CHECK_EQ(EXPORT(_DOWNLOAD)(3, 1), 0);
  CheckDownloaded(300);
  CHECK_EQ(CheckBackups(), 2);
  CHECK_EQ(EXPORT(_DOWNLOAD)(3, 1), 0);
  CHECK_EQ(ReadDataFile("pclog.dat", g_dat, sizeof g_dat), 0);
  CHECK_EQ(ReadDataFile("pclog.txt", g_txt, sizeof g_txt), 0);
}

/* The last program left com2 with XON/XOFF both ways, NUL stripping,
 * abort-on-error and CTS/DSR flow control on: the download sets its own
 * raw line, so the records' 0x11, 0x13 and 0x00 bytes all arrive, and the
 * port is left raw. */
static void DownloadBinaryLine(void) {
  DCB dcb;
  long stored, i, seen[3] = {0, 0, 0};
  HANDLE port = CreateFileA("com2", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  if (!CHECK(port != INVALID_HANDLE_VALUE)) return;
  memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  CHECK(GetCommState(port, &dcb));
  dcb.fOutX = dcb.fInX = dcb.fNull = dcb.fAbortOnError = TRUE;
  dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = TRUE;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  CHECK(SetCommState(port, &dcb));
  CloseHandle(port);

  CHECK_EQ(EXPORT(_DOWNLOAD)(1, 2), 0);
  CheckDownloaded(400);
  stored = ReadDataFile(STORE_FILE, g_store, sizeof g_store);
  for (i = 0; i < stored; ++i) {
    const unsigned char b = (unsigned char)g_store[i];
    seen[0] += b == 0x11;
    seen[1] += b == 0x13;
    seen[2] += b == 0x00;
  }
  CHECK(seen[0] > 0 && seen[1] > 0 && seen[2] > 0);

  port = CreateFileA("com2", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  if (!CHECK(port != INVALID_HANDLE_VALUE)) return;
  CHECK(GetCommState(port, &dcb));
  CloseHandle(port);
  CHECK(!dcb.fOutX && !dcb.fInX && !dcb.fNull && !dcb.fAbortOnError);
  CHECK(!dcb.fOutxCtsFlow && !dcb.fOutxDsrFlow && !dcb.fDsrSensitivity);
  CHECK(dcb.fBinary && dcb.fDtrControl == DTR_CONTROL_ENABLE &&
        dcb.fRtsControl == RTS_CONTROL_ENABLE);
}

/* Packets with a bad checksum (three times), cut short, repeated and out of
 * sequence are asked for again or passed over; nothing is lost or doubled. */
static void DownloadRecovers(void) {
  CHECK_EQ(EXPORT(_DOWNLOAD)(1, 2), 0);
  CheckDownloaded(200);
}

/* The end packet's total disagrees: failure, but the records that came are
 * kept and converted, and the terminal keeps them for the next download. */
static void DownloadWrongTotal(void) {
  CHECK_EQ(EXPORT(_DOWNLOAD)(1, 2), 1);
  CheckDownloaded(50);
  CHECK_EQ(EXPORT(_DOWNLOAD)(1, 2), 1);
  CheckDownloaded(50);
}

/* On a desktop the window "Down loading" is up and visible while the
 * records come, its bar climbs to 100 and never goes back, and the window is
 * gone when the call returns. No message box. */
static void DownloadWindow(void) {
  struct ProgressSeen seen;
  struct SeenDialog boxes[4];
  StartProgressWatch("Down loading");
  CHECK_EQ(EXPORT(_DOWNLOAD)(1, 2), 0);
  CHECK(FindProgressWindow("Down loading") == NULL);
  seen = StopProgressWatch();
  printf("  window seen %d times, %d positions read, %d to %d\n", seen.found, seen.positions,
         seen.first, seen.highest);
  CHECK(seen.visible > 0);
  CHECK_EQ(seen.range, 100);
  CHECK(seen.positions > 0);
  CHECK(seen.first < 100);
  CHECK_EQ(seen.highest, 100);
  CHECK_EQ(seen.backwards, 0);
  CHECK_EQ(TakeDialogs(boxes, 4), 0);
  CheckDownloaded(500);
}

/* Without a desktop there is no window, and the download goes on as ever. */
static void DownloadNoDesktop(void) {
  CHECK_EQ(EXPORT(_DOWNLOAD)(1, 2), 0);
  CheckDownloaded(100);
  CHECK_EQ(CheckBackups(), 2);
}

/* --- The network downloads ----------------------------------------------- */

/* Over Winsock from a terminal on loopback, its third packet asked for again
 * twice with NAK: the records, their text and two backups; the terminal is
 * cleared with _LANDELETE, so a second download finds nothing. */
static void LanDownload(void) {
  CHECK_EQ(EXPORT(_LANDOWNLOAD)("127.0.24.1"), 0);
  CheckDownloaded(300);
  CHECK_EQ(CheckBackups(), 2);
  CHECK_EQ(EXPORT(_LANDOWNLOAD)("127.0.24.1"), 0);
  CHECK_EQ(ReadDataFile("pclog.dat", g_dat, sizeof g_dat), 0);
}

/* Per-terminal files "pclog" + N: pclog12 and, for N = -1, pclog-1; nothing
 * goes to pclog.dat. Both terminals hold the same records (the same seed). */
static void LanManyDownload(void) {
  static const char* const stems[] = {"pclog12", "pclog-1"};
  char name[32];
  long stored = ReadDataFile(STORE_FILE, g_store, sizeof g_store);
  size_t i;
  CHECK_EQ(EXPORT(_LANMANYDOWNLOAD)("127.0.24.2", 12), 0);
  CHECK_EQ(EXPORT(_LANMANYDOWNLOAD)("127.0.24.3", -1), 0);
  if (!CHECK_EQ(stored, 40 * RECORD_BYTES)) return;
  for (i = 0; i < 2; ++i) {
    snprintf(name, sizeof name, "%s.dat", stems[i]);
    if (CHECK_EQ(ReadDataFile(name, g_dat, sizeof g_dat), stored))
      CHECK(memcmp(g_dat, g_store, (size_t)stored) == 0);
    snprintf(name, sizeof name, "%s.txt", stems[i]);
    CheckTextLines(g_txt, ReadDataFile(name, g_txt, sizeof g_txt), 40);
  }
  CHECK_EQ(ReadDataFile("pclog.dat", g_dat, sizeof g_dat), -1);
}

/* --- Settings ------------------------------------------------------------ */

/* The bell over a com port, the clock over Winsock; the terminal's NAK to
 * the block of the open mode gives 1. */
static void SettingsSerialAndNetwork(void) {
  CHECK_EQ(EXPORT(_SETBELL)(1, 2, 8, 30, 5), 0);
  CHECK_EQ(EXPORT(_SETOPENMODE)(1, 2, 3), 1);
  CHECK_EQ(EXPORT(_LANSETTIME)("127.0.25.1", 26, 12, 8, 22, 30, 0, 2), 0);
  CHECK_EQ(EXPORT(_LANSETTIME)("127.0.25.2", 26, 12, 8, 22, 30, 0, 2), 1);
  CHECK_EQ(EXPORT(_LANSETTIME)(NULL, 1, 2, 3, 4, 5, 6, 7), 1);
}

/* The terminal listens at 19200: 57600 and 38400 go unanswered for 2 s
 * each, 19200 answers. A port that cannot be opened fails at once. */
static void SetBaudRate(void) {
  unsigned long long start = NowMs();
  CHECK_EQ(EXPORT(_SETBAUDRATE)(2, 7, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12), 0);
  CHECK(NowMs() - start >= 4000);
  CHECK(NowMs() - start < 6000);
  start = NowMs();
  CHECK_EQ(EXPORT(_SETBAUDRATE)(3, 7, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12), 1);
  CHECK(NowMs() - start < 1000);
}

/* --- The modem download ------------------------------------------------- */

/* Through the simulated modem on com3 (it echoes until "AT E0" and answers
 * the dial with the 17 bytes of CONNECT 14400), packets with random faults:
 * the records, their text and two backups; the terminal is not cleared, so a
 * second call brings them all again, which also shows that closing the port
 * hung the modem up. A number that cannot be dialled fails at once, and
 * leaves the files alone. */
static void ModemDownload(void) {
  unsigned long long start;
  CHECK_EQ(EXPORT(_MODEMDOWNLOAD)(1, 3, "5551234"), 0);
  CheckDownloaded(200);
  CHECK_EQ(CheckBackups(), 2);
  CHECK_EQ(EXPORT(_MODEMDOWNLOAD)(1, 3, "5551234"), 0);
  start = NowMs();
  CHECK_EQ(EXPORT(_MODEMDOWNLOAD)(1, 3, NULL), 1);
  CHECK_EQ(EXPORT(_MODEMDOWNLOAD)(1, 3, "555\r1234"), 1);
  CHECK(NowMs() - start < 100);
  CheckDownloaded(200);
}

/* Card numbers on com2: a card the simulator holds, one set and read back,
 * one deleted; values travel as 16-bit numbers. */
static void WhatSn(void) {
  CHECK_EQ(EXPORT(_WHATSN)(1, 2, 0x1234), 4321);
  CHECK_EQ(EXPORT(_WHATSN)(1, 2, 5), 65535);
  CHECK_EQ(EXPORT(_GETSNLENTH)(1, 2), 10);
  CHECK_EQ(EXPORT(_SETSN)(1, 2, 0x10005, 77), 0);
  CHECK_EQ(EXPORT(_WHATSN)(1, 2, 5), 77);
  CHECK_EQ(EXPORT(_DELSN)(1, 2, 5), 0);
  CHECK_EQ(EXPORT(_WHATSN)(1, 2, 5), 65535);
}

#define NO_RECORD "00000000000000000000"

/* Appends real-time records (lines of hex) to the feed both simulators watch. */
static int FeedRecords(const char* lines) {
  char path[MAX_PATH];
  DWORD done = 0;
  HANDLE f;
  DataFolder(path, sizeof path);
  strncat(path, "feed.txt", sizeof path - strlen(path) - 1);
  f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0,
                  NULL);
  if (f == INVALID_HANDLE_VALUE) return 0;
  WriteFile(f, lines, (DWORD)strlen(lines), &done, NULL);
  CloseHandle(f);
  return done == strlen(lines);
}

static DWORD WINAPI FetchOnAnotherThread(LPVOID out) {
  *(const char**)out = EXPORT(_REALDOWNLOAD)(1, 3);
  return 0;
}

/* The real-time fetch through the stdcall boundary: a text the library
 * keeps (one buffer per export and per thread), twenty zeros for nothing. */
static void RealDownload(void) {
  const char *text = NULL, *other = NULL;
  char first[32];
  unsigned long long start = NowMs();
  HANDLE thread;
  CHECK_STR(EXPORT(_REALDOWNLOAD)(1, 3), NO_RECORD);
  CHECK_STR(EXPORT(_LANREALDOWNLOAD)("127.0.43.1"), NO_RECORD);
  if (!CHECK(FeedRecords("01 02 95 4F 28 5E\n010295CF285E\n"))) return;
  /* The simulators read their feed every 50 ms. */
  while (strcmp(text = EXPORT(_REALDOWNLOAD)(1, 3), NO_RECORD) == 0 && NowMs() - start < 3000)
    Sleep(20);
  CHECK_STR(text, "00025820090515083035");
  strcpy(first, text);
  /* The next call of the same export on this thread reuses the buffer. */
  CHECK(EXPORT(_REALDOWNLOAD)(1, 3) == text);
  CHECK_STR(text, "00025820090515083095");
  CHECK(strcmp(first, text) != 0);
  CHECK_STR(EXPORT(_LANREALDOWNLOAD)("127.0.43.1"), "00025820090515083035");
  CHECK_STR(EXPORT(_LANREALDOWNLOAD)("127.0.43.1"), "00025820090515083095");
  CHECK(EXPORT(_LANREALDOWNLOAD)("127.0.43.1") != text);
  CHECK_STR(EXPORT(_LANREALDOWNLOAD)(NULL), NO_RECORD);
  /* Another thread has a buffer of its own; this thread's text stays. */
  thread = CreateThread(NULL, 0, FetchOnAnotherThread, (LPVOID)&other, 0, NULL);
  if (!CHECK(thread != NULL)) return;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CHECK(other != NULL && other != text);
  CHECK_STR(text, "00025820090515083095");
}

/* --- The personnel tables ---------------------------------------------- */

/* A counted text as a host language lays it out: the reference count, the
 * length, then the characters (the pointer passed points at them). */
struct HostText {
  int32_t count;
  int32_t length;
  char chars[128];
};

static const char* MakeText(struct HostText* t, int32_t count, const char* text, int32_t length) {
  t->count = count;
  t->length = length;
  memset(t->chars, 0, sizeof t->chars);
  memcpy(t->chars, text, (size_t)length);
  return t->chars;
}

/* A zero-terminated name whole, an empty one, one too long (no traffic, at
 * once); the second ACK of the deletion of all names; the card-only list. */
static void SendName(void) {
  char tooLong[300];
  unsigned long long start;
  memset(tooLong, 'n', 254);
  tooLong[254] = 0;
  CHECK_EQ(EXPORT(_SENDNAME)(1, 2, 258, "ABC"), 0);
  CHECK_EQ(EXPORT(_SENDNAME)(1, 2, 259, NULL), 0);
  start = NowMs();
  CHECK_EQ(EXPORT(_SENDNAME)(1, 2, 260, tooLong), 1);
  CHECK(NowMs() - start < 100);
  CHECK_EQ(EXPORT(_CHANGENAMEID)(1, 2, 258, 300), 0);
  CHECK_EQ(EXPORT(_DELETEALLNAME)(1, 2), 0);
  CHECK_EQ(EXPORT(_SENDONLYCARD)(1, 2, 258), 0);
  CHECK_EQ(EXPORT(_DELONLYCARD)(1, 2, 258), 0);
  CHECK_EQ(EXPORT(_DELALLONLYCARD)(1, 2), 0);
}

/* Counted texts built here: the count is raised for the call and back
 * after it, a constant (-1) is left alone, a null pointer is the empty
 * name. A text that is no address fails after the 25 ms closing pause. */
static void LanSendName(void) {
  struct HostText name, constant;
  CHECK_EQ(EXPORT(_LANSENDNAME)("127.0.29.1", 7, MakeText(&name, 1, "Ann", 3)), 0);
  CHECK_EQ(name.count, 1);
  CHECK_EQ(EXPORT(_LANSENDNAME)("127.0.29.1", 8, MakeText(&constant, -1, "Bob", 3)), 0);
  CHECK_EQ(constant.count, -1);
  CHECK_EQ(EXPORT(_LANSENDNAME)("127.0.29.1", 9, NULL), 0);
  CHECK_EQ(EXPORT(_LANCHANGENAMEID)("127.0.29.1", 7, 70), 0);
  CHECK_EQ(EXPORT(_LANDELETEALLNAME)("127.0.29.1"), 0);
  CHECK_EQ(EXPORT(_LANSENDNAME)("127.0.29", 7, MakeText(&name, 1, "Ann", 3)), 1);
  CHECK_EQ(name.count, 1);
  CHECK_EQ(EXPORT(_LANSENDNAME)(NULL, 7, MakeText(&name, 1, "Ann", 3)), 1);
  CHECK_EQ(name.count, 1);
}

/* Sixteen stdcall arguments. The 90 text bytes are paced a millisecond
 * apart: with the system timer at its default 15.6 ms the call would take
 * 1.4 s, with the finer timer the export asks for about 0.1 s. */
static void SendVoice(void) {
  struct HostText text;
  char bytes[90];
  unsigned long long start, took;
  memset(bytes, 'v', sizeof bytes);
  MakeText(&text, 1, bytes, sizeof bytes);
  start = NowMs();
  CHECK_EQ(EXPORT(_SENDVOICE)(1, 2, 1, 0x1234, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, text.chars), 0);
  took = NowMs() - start;
  printf("  90-byte voice text loaded in %llu ms\n", took);
  CHECK(took < 700);
  CHECK_EQ(text.count, 1);
  CHECK_EQ(EXPORT(_DELVOICE)(1, 2, 0x1234), 0);
  CHECK_EQ(EXPORT(_DELALLVOICE)(1, 2), 0);
  /* Over 99 bytes: refused before any port is opened. */
  text.length = 100;
  CHECK_EQ(EXPORT(_SENDVOICE)(1, 2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, text.chars), 1);
  CHECK_EQ(text.count, 1);
}

/* A worker thread that called the library outlives it: the host frees the
 * DLL while the thread waits, then lets the thread end. Nothing of the
 * library's may run then (no per-thread object with a destructor), so the
 * process goes on, and the library loads and answers again. */
static HANDLE g_release;
static DWORD WINAPI CallThenWait(void* unused) {
  (void)unused;
  EXPORT(_LANDELETE)(NULL);
  WaitForSingleObject(g_release, 10000);
  return 0;
}

static void FreeWhileThreadsLive(void) {
  HANDLE worker;
  DWORD code = 0;
  g_release = CreateEventA(NULL, TRUE, FALSE, NULL);
  worker = CreateThread(NULL, 0, CallThenWait, NULL, 0, NULL);
  if (!CHECK(worker != NULL)) return;
  Sleep(200);
  CHECK(FreeLibrary(g_dll));
  CHECK(GetModuleHandleA("w_pclog.dll") == NULL);
  SetEvent(g_release);
  CHECK_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0);
  CHECK(GetExitCodeThread(worker, &code) && code == 0);
  CloseHandle(worker);
  CloseHandle(g_release);
  g_dll = LoadLibraryA("w_pclog.dll");
  if (CHECK(g_dll != NULL)) CHECK_EQ(EXPORT(_LANDELETE)(NULL), 1);
}

/* The greeting terminal's number (00 00 01 02) is the result. The deletes
 * have no greeting: a terminal that greets every connection answers their
 * frame with 00 first, which is no ACK, so they go to one that does not. */
static void LanSendVoice(void) {
  struct HostText text;
  CHECK_EQ(EXPORT(_LANSENDVOICE)("127.0.29.2", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                                 MakeText(&text, 1, "AB", 2)),
           258);
  CHECK_EQ(text.count, 1);
  CHECK_EQ(EXPORT(_LANDELVOICE)("127.0.29.2", 300), 1);
  CHECK_EQ(EXPORT(_LANDELVOICE)("127.0.29.3", 300), 0);
  CHECK_EQ(EXPORT(_LANDELALLVOICE)("127.0.29.3"), 0);
}

/* Two records in the day's file, the name cut to 8 bytes; a null prefix
 * touches nothing. */
static void CopyName(void) {
  struct HostText name;
  char dir[MAX_PATH], path[MAX_PATH], got[64];
  static const unsigned char expected[] = {0x01, 0x02, 'A', 'B', 'C', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                           0x00, 0x03, 'a', 'b', 'c', 'd',  'e',  'f',  'g',  'h'};
  SYSTEMTIME now;
  DataFolder(dir, sizeof dir);
  CHECK_EQ(EXPORT(_COPYNAME)(dir, 0x0102, MakeText(&name, 1, "ABC", 3)), 0);
  CHECK_EQ(name.count, 1);
  CHECK_EQ(EXPORT(_COPYNAME)(dir, 3, MakeText(&name, 1, "abcdefghij", 10)), 0);
  CHECK_EQ(EXPORT(_COPYNAME)(NULL, 4, MakeText(&name, 1, "x", 1)), 1);
  CHECK_EQ(name.count, 1);
  GetLocalTime(&now);
  snprintf(path, sizeof path, "%sNAM%02u%02u.DAT", dir, now.wMonth, now.wDay);
  if (CHECK_EQ(ReadWholeFile(path, got, sizeof got), sizeof expected))
    CHECK(memcmp(got, expected, sizeof expected) == 0);
}

/* A bare fingerprint module on com3, at 9600: found from com2 (absent). */
static void FpVersion(void) {
  CHECK_EQ(EXPORT(_GETFDAVER)(2), 51);
  CHECK_EQ(EXPORT(_FDATXDATA)(3, 0x05, 0, 0, 0, 0), 51);
}

/* Templates through the terminal's pass-through on com2: the ID list and
 * one template into FINGERREC; a user ID the key cannot hold is refused at
 * once. */
static void FpTemplates(void) {
  static const char kList[] = "0000010001\r\n0000010002\r\n0000020001\r\n";
  char dir[MAX_PATH], path[MAX_PATH], got[1024];
  unsigned long long start;
  DataFolder(dir, sizeof dir);
  CHECK_EQ(EXPORT(_GETIDLIST)(1, 2), 0);
  snprintf(path, sizeof path, "%sFINGERREC\\IDLIST.TXT", dir);
  if (CHECK_EQ(ReadWholeFile(path, got, sizeof got), (long)(sizeof kList - 1)))
    CHECK(memcmp(got, kList, sizeof kList - 1) == 0);
  CHECK_EQ(EXPORT(_GETIDFPREC)(1, 2, 1, 0, 2), 0);
  snprintf(path, sizeof path, "%sFINGERREC\\FP0001_2.TXT", dir);
  CHECK_EQ(ReadWholeFile(path, got, sizeof got), 816);
  start = NowMs();
  CHECK_EQ(EXPORT(_GETIDFPREC)(1, 2, 2048, 0, 1), 255);
  CHECK(NowMs() - start < 100);
}

/* --- The fingerprint backup -------------------------------------------- */

#define BACKUP_SIZE 5000
static char g_backup[BACKUP_SIZE + 1];

/* Backup mode 5, then the module's 5,000 bytes into zwbak.txt, marked
 * 01 36 02 at the start. */
static void BackupReceive(void) {
  CHECK_EQ(EXPORT(_ZWBACKUP)(1, 2, 5), 0);
  CHECK_EQ(EXPORT(_RXZWFILE)(2), 0);
  CHECK_EQ(ReadDataFile("zwbak.txt", g_backup, sizeof g_backup), BACKUP_SIZE);
  CHECK(memcmp(g_backup, "\x01\x36\x02", 3) == 0);
  CHECK_EQ(ReadDataFile("zwbak.new", g_backup, sizeof g_backup), -1);
}

/* 3,500 bytes go back as three blocks, confirmed by the module. */
static void BackupSend(void) {
  char dir[MAX_PATH], path[MAX_PATH];
  DataFolder(dir, sizeof dir);
  memset(g_backup, 0x5A, BACKUP_SIZE);
  snprintf(path, sizeof path, "%szwbak.txt", dir);
  CHECK(WriteWholeFile(path, g_backup, 3500));
  CHECK_EQ(EXPORT(_TXZWFILE)(3), 0);
}

/* The benchmark of the backup send (run only when asked for): 100 KiB to a
 * module that takes each byte at its line time, at 1 ms a byte; the wall
 * time for bench/wine_backup_bench.sh to set against the prescribed time. */
static char g_large[100 * 1024];
static void BackupSendTimed(void) {
  char dir[MAX_PATH], path[MAX_PATH];
  unsigned long long start;
  DataFolder(dir, sizeof dir);
  memset(g_large, 0x5A, sizeof g_large);
  snprintf(path, sizeof path, "%szwbak.txt", dir);
  CHECK(WriteWholeFile(path, g_large, sizeof g_large));
  start = NowMs();
  CHECK_EQ(EXPORT(_TXZWFILE)(2), 0);
  printf("  sent %u bytes in %llu ms\n", (unsigned)sizeof g_large, NowMs() - start);
}

/* No zwbak.txt: five boxes with the GBK text, no port opened, then 1. */
static void BackupMissingFile(void) {
  static const char text[] =
      "\xce\xde\xb7\xa8\xb4\xf2\xbf\xaa\xce\xc4\xbc\xfe"
      "pclog.dat,\xc7\xeb\xbc\xec\xb2\xe9WINDOWS\xcf\xb5\xcd\xb3,"
      "\xc0\xfd\xc8\xe7\xc9\xbe\xb3\xfdWINDOWS\\TEMP\\"
      "\xcf\xc2\xb5\xc4\xc1\xd9\xca\xb1\xce\xc4\xbc\xfe,"
      "\xb2\xa2\xd4\xda\xbf\xbc\xc7\xda\xbb\xfa\xc9\xcf\xd6\xb4\xd0\xd0\xbb\xd6\xb8"
      "\xb4\xb2\xd9\xd7\xf7!";
  struct SeenDialog seen[WPL_MAX_DIALOGS];
  int n, i;
  CHECK_EQ(EXPORT(_TXZWFILE)(2), 1);
  n = TakeDialogs(seen, WPL_MAX_DIALOGS);
  CHECK_EQ(n, 5);
  for (i = 0; i < n; ++i) {
    CHECK_STR(seen[i].title, "Open Error");
    CHECK_STR(seen[i].text, text);
  }
}

/* The version resource, as a host or an installer reads it. */
static void VersionResource(void) {
  char path[MAX_PATH];
  static char info[4096];
  VS_FIXEDFILEINFO* fixed = NULL;
  char* text = NULL;
  UINT size = 0;
  DWORD handle = 0;
  CHECK(GetModuleFileNameA(g_dll, path, sizeof path) > 0);
  const DWORD need = GetFileVersionInfoSizeA(path, &handle);
  CHECK(need > 0 && need <= sizeof info);
  if (!CHECK(GetFileVersionInfoA(path, 0, sizeof info, info))) return;
  if (CHECK(VerQueryValueA(info, "\\", (void**)&fixed, &size) && size >= sizeof *fixed)) {
    CHECK_EQ(fixed->dwSignature, 0xFEEF04BD);
    CHECK_EQ(fixed->dwFileVersionMS, 0x00010000);
    CHECK_EQ(fixed->dwProductVersionMS, 0x00010000);
    CHECK_EQ(fixed->dwFileType, VFT_DLL);
  }
  if (CHECK(VerQueryValueA(info, "\\StringFileInfo\\040904B0\\FileDescription", (void**)&text,
                           &size)))
    CHECK(strcmp(text, "KORVANE time-attendance terminal library") == 0);
}

/* W_PCLOG_TRACE set by the host between calls: the next call appends its
 * wire trace to the file; removed, the calls are no longer traced. */
static void TraceVariable(void) {
  char dir[MAX_PATH], path[MAX_PATH + 16];
  static char trace[16384];
  DataFolder(dir, sizeof dir);
  snprintf(path, sizeof path, "%swire.trace", dir);
  CHECK(SetEnvironmentVariableA("W_PCLOG_TRACE", path));
  CHECK_EQ(EXPORT(_TESTCOM)(1, 2), 2);
  SetEnvironmentVariableA("W_PCLOG_TRACE", NULL);
  const long first = ReadWholeFile(path, trace, sizeof trace - 1);
  CHECK(first > 0);
  trace[first > 0 ? first : 0] = 0;
  CHECK(strstr(trace, " com2 57600 8N1 < 06 ") != NULL);
  CHECK_EQ(EXPORT(_TESTCOM)(1, 2), 2);
  CHECK_EQ(ReadWholeFile(path, trace, sizeof trace - 1), first);
}

static const struct WineCase kCases[] = {
    {"testcom-scan", "com4 --baud 19200", TestcomScan},
    {"testcom-wraps", "com2 --baud 57600", TestcomWraps},
    {"testcom-address-low-byte", "com2 --baud 57600", AddressLowByte},
    {"delete-acked", "com2 --baud 57600", DeleteAcked},
    {"refused", "com3 --fault nak", Refused},
    {"no-port", "", NoPort},
    {"lan-delete", "tcp 127.0.23.1; tcp 127.0.23.3,silent", LanDelete},
    {"converfile", "", ConverFile},
    {"converxffile", "", ConverXfFile},
    {"converfile-missing", "display", ConverFileMissing},
    {"download-all", "com2 --address 3 --records 300 --seed 7 " STORE_SAVED, DownloadAll},
    {"download-recovers",
     "com2 --records 200 " STORE_SAVED
     " --packet-fault 2:bad-checksum:3 --packet-fault 4:short:2 --packet-fault 5:repeat"
     " --packet-fault 6:skip-sequence",
     DownloadRecovers},
    {"download-wrong-total", "com2 --records 50 --end-fault wrong-total " STORE_SAVED,
     DownloadWrongTotal},
    {"download-window", "display; com2 --records 500 --pace " STORE_SAVED, DownloadWindow},
    {"download-no-desktop", "nodisplay; com2 --records 100 " STORE_SAVED, DownloadNoDesktop},
    {"lan-download",
     "tcp 127.0.24.1 --records 300 --seed 5 --packet-fault 3:bad-checksum:2 " STORE_SAVED,
     LanDownload},
    {"lan-many-download",
     "tcp 127.0.24.2 --records 40 " STORE_SAVED "; tcp 127.0.24.3 --records 40", LanManyDownload},
    {"settings", "com2 --command-fault 0x13:block:nak; tcp 127.0.25.1", SettingsSerialAndNetwork},
    {"set-baud-rate", "com2 --baud 19200", SetBaudRate},
    {"modem-download",
     "com3 --modem --modem-echo --dial 5551234 --records 200 --random-faults 0.05 " STORE_SAVED,
     ModemDownload},
    {"whatsn", "com2 --card 0x1234=4321 --sn-length 10", WhatSn},
    {"realdownload", "com3 --realtime-feed feed.txt; tcp 127.0.43.1 --realtime-feed feed.txt",
     RealDownload},
    {"sendname", "com2 --baud 57600", SendName},
    {"lan-sendname", "tcp 127.0.29.1", LanSendName},
    {"sendvoice", "com2 --baud 57600", SendVoice},
    {"lan-sendvoice", "tcp 127.0.29.2,greeting=0000010209090909; tcp 127.0.29.3", LanSendVoice},
    {"copyname", "", CopyName},
    {"fp-version", "com3 --module --module-version 51", FpVersion},
    {"fp-templates", "com2 --templates 3", FpTemplates},
    {"backup-receive", "com2 --backup-size 5000 --backup-seed 3", BackupReceive},
    {"backup-send", "com3 --backup-mode", BackupSend},
    {"backup-missing-file", "display", BackupMissingFile},
    {"version-resource", "", VersionResource},
    {"trace-variable", "com2 --baud 57600", TraceVariable},
    {"download-binary-line", "com2 --records 400 --seed 11 " STORE_SAVED, DownloadBinaryLine},
    {"free-while-threads-live", "", FreeWhileThreadsLive},
    {"backup-send-timed", "bench; com2 --backup-mode --pace", BackupSendTimed},
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
