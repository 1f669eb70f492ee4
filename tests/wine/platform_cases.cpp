// wine_platform: the Win32 platform layer under Wine, against pclog-sim on
// ptys mapped to com ports, in a scratch data folder (W_PCLOG_DIR), and on a
// virtual desktop. Cases and their setup as in wine_host (case_runner.h).

// Winsock 2 first: windows.h would otherwise bring in the old winsock.h.
#include <winsock2.h>
// The rest of the Win32 API.
#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>

#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "case_runner.h"
#include "dialog_watcher.h"
#include "link/command_frame.h"
#include "link/serial_link.h"
#include "platform/env.h"
#include "platform/fine_sleeps.h"

namespace {

using wpl::Env;
using wpl::LineConfig;
using wpl::Millis;
using wpl::ProcessEnv;
using wpl::ProgressKind;

// --- Serial ports ------------------------------------------------------------

bool Answers(Env& env, wpl::SerialPort& port, Millis limit) {
  wpl::link::SendCommandFrame(port, 1, wpl::link::cmd::kTestCom);
  return wpl::link::WaitAck(env, port, limit);
}

// com4 holds a terminal; com3 has nothing behind it. (Wine does not refuse
// a second open of a character device, so exclusive use is not seen here.)
void SerialNames() {
  auto& ports = *ProcessEnv().serial;
  CHECK(ports.Open(4) != nullptr);
  CHECK(ports.Open(3) == nullptr);
  for (int n : {-1, 10, 52, 1000}) CHECK(ports.Open(n) == nullptr);
}

// The terminal listens at 19200: it answers only once the line runs at its
// speed, and an empty speed keeps the one set before.
void SerialSpeed() {
  Env env = ProcessEnv();
  auto port = env.serial->Open(4);
  if (!CHECK(port != nullptr)) return;
  CHECK(port->Configure(LineConfig{19200u, 1}));
  CHECK(Answers(env, *port, Millis{1000}));
  CHECK(port->Configure(LineConfig{std::nullopt, 1}));
  CHECK(Answers(env, *port, Millis{1000}));
  CHECK(port->Configure(LineConfig{57600u, 1}));
  CHECK(!Answers(env, *port, Millis{300}));
}

// A read with nothing to deliver returns at once with 0, whatever room it is
// given; 5 + 5n ms for n = 256 would be 1.3 s a read.
void SerialIdleRead() {
  auto port = ProcessEnv().serial->Open(4);
  if (!CHECK(port != nullptr)) return;
  port->Configure(LineConfig{19200u, 1});
  uint8_t buf[256];
  const unsigned long long start = NowMs();
  for (int i = 0; i < 20; ++i) CHECK_EQ(port->Read(buf), 0);
  CHECK(NowMs() - start < 1000);
}

// The terminal's pty goes away under an open port (its simulator ends 3 s
// after it started): the port, which answered, reports itself lost, a wait
// on it ends at once instead of running to its limit, and reads on it still
// take their timeout rather than spin.
void SerialLost() {
  Env env = ProcessEnv();
  auto port = env.serial->Open(4);
  if (!CHECK(port != nullptr)) return;
  port->Configure(LineConfig{19200u, 1});
  CHECK(Answers(env, *port, Millis{1000}));
  CHECK(!port->Lost());
  uint8_t buf[16];
  const unsigned long long start = NowMs();
  while (!port->Lost() && NowMs() - start < 8000) port->Read(buf);
  if (!CHECK(port->Lost())) return;
  const unsigned long long lostAt = NowMs();
  CHECK(!wpl::link::WaitAck(env, *port, Millis{3000}));
  CHECK(NowMs() - lostAt < 500);
  int reads = 0;
  for (const unsigned long long from = NowMs(); NowMs() - from < 200; ++reads) port->Read(buf);
  printf("  lost after %llu ms; %d reads in 200 ms after\n", lostAt - start, reads);
  CHECK(reads <= 50);
}

// Pauses of a millisecond under a FineSleeps (the per-byte pauses of the
// transfers) end at their time and never before it, on the fine timer or
// without one; how close they come is the backup benchmark's to say.
void FinePausesNeverShort() {
  Env env = ProcessEnv();
  auto pauses = [&](int count) {
    int shortOnes = 0;
    for (int i = 0; i < count; ++i) {
      const wpl::Nanos start = env.clock->Now();
      env.clock->Sleep(Millis{1});
      if (env.clock->Now() - start < Millis{1}) ++shortOnes;
    }
    return shortOnes;
  };
  CHECK_EQ(pauses(20), 0);
  {
    wpl::FineSleeps fine;
    CHECK_EQ(pauses(300), 0);
    {
      wpl::FineSleeps inner;  // an export's own inside a transfer's
      CHECK_EQ(pauses(50), 0);
    }
    CHECK_EQ(pauses(50), 0);
  }
  CHECK_EQ(pauses(20), 0);
}

// --- Sockets -----------------------------------------------------------------

// A Winsock listener on an ephemeral port of 127.0.24.9 with a queue of one.
struct Listener {
  Listener() {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(0x7F001809);  // 127.0.24.9
    int len = sizeof sa;
    s = ::socket(AF_INET, SOCK_STREAM, 0);
    ok = ::bind(s, reinterpret_cast<sockaddr*>(&sa), len) == 0 && ::listen(s, 0) == 0 &&
         ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) == 0;
    port = ntohs(sa.sin_port);
  }
  ~Listener() { ::closesocket(s); }
  SOCKET s;
  uint16_t port = 0;
  bool ok = false;
};

// A connect that stands leaves a blocking socket that sends and receives; a
// connect to a listener whose queue is full (the system drops the SYN) ends
// at the limit, not after the system's 21 s.
void SocketConnectLimit() {
  constexpr wpl::Ipv4Address kAddress{{127, 0, 24, 9}};
  wpl::Sockets& sockets = *ProcessEnv().sockets;
  if (!CHECK(sockets.Startup())) return;
  Listener listener;
  if (!CHECK(listener.ok)) return;
  auto client = sockets.Create();
  if (!CHECK(client && client->Connect(kAddress, listener.port, Millis{2000}))) return;
  const SOCKET served = ::accept(listener.s, nullptr, nullptr);
  CHECK(served != INVALID_SOCKET);
  CHECK_EQ(::send(served, "\x06", 1, 0), 1);
  uint8_t byte = 0;
  const wpl::ReceiveResult got = client->Receive(std::span(&byte, 1), Millis{2000});
  CHECK(got.status == wpl::ReceiveStatus::kBytes && got.count == 1 && byte == 0x06);
  CHECK_EQ(client->Send(std::span(&byte, 1)), 1);
  ::closesocket(served);

  auto queued = sockets.Create();  // takes the queue and is never accepted
  CHECK(queued && queued->Connect(kAddress, listener.port, Millis{2000}));
  auto late = sockets.Create();
  const unsigned long long start = NowMs();
  CHECK(late && !late->Connect(kAddress, listener.port, Millis{300}));
  const unsigned long long took = NowMs() - start;
  printf("  connect to a full queue gave up after %llu ms\n", took);
  CHECK(took < 2000);
}

// --- Files and the data folder -------------------------------------------------

void WriteText(wpl::File& f, const char* text) {
  CHECK(f.Write(std::span(reinterpret_cast<const uint8_t*>(text), std::strlen(text))));
}

void FilesExclusive() {
  Env env = ProcessEnv();
  auto& fs = *env.files;
  const std::string a = env.dataDir + "a.dat", b = env.dataDir + "b.dat";
  const std::string c = env.dataDir + "c.dat";
  {
    auto f = fs.Create(a);
    if (!CHECK(f != nullptr)) return;
    CHECK(fs.OpenRead(a) == nullptr);
    CHECK(fs.OpenReadWrite(a) == nullptr);
    CHECK(fs.Create(a) == nullptr);
    WriteText(*f, "abcdef");
    CHECK_EQ(f->Size(), 6);
  }
  {
    auto f = fs.OpenReadWrite(a);
    if (!CHECK(f != nullptr)) return;
    CHECK(fs.OpenRead(a) == nullptr);
    uint8_t buf[8] = {};
    CHECK(f->Seek(2));
    CHECK_EQ(f->Read(buf), 4);
    CHECK(std::memcmp(buf, "cdef", 4) == 0);
    CHECK_EQ(f->Read(buf), 0);
  }
  CHECK(fs.CopyNoOverwrite(a, b));
  CHECK(!fs.CopyNoOverwrite(a, b));
  CHECK(!fs.RenameNoOverwrite(a, b));
  CHECK(fs.RenameNoOverwrite(a, c));
  CHECK(!fs.Exists(a));
  CHECK(fs.Exists(c));
  {
    auto f = fs.Create(b);  // replaces the copy
    CHECK(f != nullptr && f->Size() == 0);
  }
  CHECK(fs.OpenRead(env.dataDir + "none.dat") == nullptr);
  CHECK(fs.MakeDirectory(env.dataDir + "downbak"));
  CHECK(!fs.MakeDirectory(env.dataDir + "downbak"));
  CHECK(fs.IsDirectory(env.dataDir + "downbak"));
  CHECK(!fs.IsDirectory(c));
  CHECK_EQ(fs.Separator(), '\\');
}

void DataFolder() {
  char saved[MAX_PATH] = {};
  const DWORD had = GetEnvironmentVariableA("W_PCLOG_DIR", saved, sizeof saved);
  SetEnvironmentVariableA("W_PCLOG_DIR", "C:\\data");
  CHECK_STR(ProcessEnv().dataDir.c_str(), "C:\\data\\");
  SetEnvironmentVariableA("W_PCLOG_DIR", "C:\\data\\");
  CHECK_STR(ProcessEnv().dataDir.c_str(), "C:\\data\\");
  // Without it: the folder of the running program.
  SetEnvironmentVariableA("W_PCLOG_DIR", nullptr);
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  *(std::strrchr(exe, '\\') + 1) = '\0';
  CHECK_STR(ProcessEnv().dataDir.c_str(), exe);
  SetEnvironmentVariableA("W_PCLOG_DIR", had ? saved : nullptr);
}

// --- Windows -----------------------------------------------------------------

struct ExpectedControl {
  const char* windowClass;
  int left, top, width, height;
  const char* text;
  int fontHeight, fontWeight;
  const char* fontFace;
  int charset;
  COLORREF textColor, background;  // CLR_INVALID: not a coloured label
};

struct ExpectedForm {
  ProgressKind kind;
  const char* windowClass;
  const char* caption;
  RECT frame;  // left, top, right, bottom on the screen
  std::span<const ExpectedControl> controls;
};

constexpr COLORREF kRed = RGB(255, 0, 0), kSilver = RGB(192, 192, 192), kNone = CLR_INVALID;
// The form's face colour, whatever the system makes it.
constexpr COLORREF kFace = 0x01000000;

const ExpectedControl kSerialControls[] = {
    {"Static", 80, 8, 229, 25, "KORVANE ELECTRONIC", -20, FW_NORMAL, "Verdana", DEFAULT_CHARSET,
     kRed, kSilver},
    {"msctls_progress32", 16, 48, 353, 17, "", -19, FW_NORMAL, "MS Sans Serif", DEFAULT_CHARSET,
     kNone, kNone},
    {"Static", 88, 80, 218, 20, "DATA DOWNLOADING ... ...", -16, FW_NORMAL, "MS Sans Serif",
     DEFAULT_CHARSET, kRed, kFace},
};
const ExpectedControl kNetworkControls[] = {
    {"Static", 104, 8, 267, 29, "KORVANE ELECTRONIC", -24, FW_BOLD, "Arial", DEFAULT_CHARSET, kRed,
     kFace},
    {"msctls_progress32", 48, 48, 377, 25, "", -13, FW_NORMAL, "MS Sans Serif", DEFAULT_CHARSET,
     kNone, kNone},
    {"Static", 48, 88, 210, 20, "DATA DOWNLOADING ... ", -20, FW_NORMAL, "MS Sans Serif",
     GB2312_CHARSET, kRed, kFace},
    {"Edit", 256, 88, 169, 24, "", -13, FW_NORMAL, "MS Sans Serif", DEFAULT_CHARSET, kNone, kNone},
};

const ExpectedForm kSerialForm{ProgressKind::kSerial, "w_pclog TForm1", "Down loading",
                               RECT{206, 174, 206 + 396, 174 + 148}, kSerialControls};
const ExpectedForm kNetworkForm{ProgressKind::kNetwork, "w_pclog TForm2", "LAN DOWNLOAD",
                                RECT{195, 163, 195 + 482, 163 + 164}, kNetworkControls};

std::string TextOf(HWND w) {
  char buf[256] = {};
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}

void CheckControl(HWND form, HWND w, const ExpectedControl& e) {
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  CHECK(lstrcmpiA(cls, e.windowClass) == 0);
  RECT r{};
  GetWindowRect(w, &r);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  CHECK_EQ(r.left, e.left);
  CHECK_EQ(r.top, e.top);
  CHECK_EQ(r.right - r.left, e.width);
  CHECK_EQ(r.bottom - r.top, e.height);
  CHECK_STR(TextOf(w).c_str(), e.text);
  LOGFONTA font{};
  CHECK(GetObjectA(reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)), sizeof font, &font));
  CHECK_EQ(font.lfHeight, e.fontHeight);
  CHECK_EQ(font.lfWeight, e.fontWeight);
  CHECK_STR(font.lfFaceName, e.fontFace);
  CHECK_EQ(font.lfCharSet, e.charset);
  if (e.textColor == kNone) return;
  // The colours the form hands the label when it paints.
  HDC dc = CreateCompatibleDC(nullptr);
  CHECK(SendMessageA(form, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(w)) != 0);
  CHECK_EQ(GetTextColor(dc), e.textColor);
  CHECK_EQ(GetBkColor(dc), e.background == kFace ? GetSysColor(COLOR_BTNFACE) : e.background);
  DeleteDC(dc);
}

void CheckForm(const ExpectedForm& e) {
  auto view = ProcessEnv().ui->OpenProgress(e.kind);
  if (!CHECK(view != nullptr)) return;
  view->Repaint();
  HWND form = FindWindowA(e.windowClass, nullptr);
  if (!CHECK(form != nullptr)) return;
  CHECK(IsWindowVisible(form));
  CHECK_STR(TextOf(form).c_str(), e.caption);
  RECT r{};
  GetWindowRect(form, &r);
  CHECK_EQ(r.left, e.frame.left);
  CHECK_EQ(r.top, e.frame.top);
  CHECK_EQ(r.right, e.frame.right);
  CHECK_EQ(r.bottom, e.frame.bottom);
  // The controls in the order they were made.
  HWND child = GetWindow(form, GW_CHILD);
  HWND bar = nullptr, edit = nullptr;
  for (const ExpectedControl& c : e.controls) {
    if (!CHECK(child != nullptr)) return;
    CheckControl(form, child, c);
    if (std::strcmp(c.windowClass, "msctls_progress32") == 0) bar = child;
    if (std::strcmp(c.windowClass, "Edit") == 0) edit = child;
    child = GetWindow(child, GW_HWNDNEXT);
  }
  CHECK(child == nullptr);
  if (!CHECK(bar != nullptr)) return;
  CHECK_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
  CHECK_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
  CHECK_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
  view->SetPosition(40);
  CHECK_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 40);
  view->SetStatus("connect 127.0.0.1 success");
  view->Repaint();
  // The serial window has no edit box and ignores the status.
  if (edit) CHECK_STR(TextOf(edit).c_str(), "connect 127.0.0.1 success");
  // Closing by the user does not end the window: the transfer owns it.
  PostMessageA(form, WM_CLOSE, 0, 0);
  view->Repaint();
  CHECK(IsWindow(form));
  view.reset();
  CHECK(!IsWindow(form));
}

void SerialWindow() {
  CheckForm(kSerialForm);
  CheckForm(kSerialForm);  // a second window after the first is gone
}

void NetworkWindow() { CheckForm(kNetworkForm); }

// The message box is modal with OK: the call returns once OK is pressed.
void MessageBoxShown() {
  ProcessEnv().ui->ShowMessage("can not creat pclog.dat!", "Open Error");
  SeenDialog seen[4];
  if (!CHECK_EQ(TakeDialogs(seen, 4), 1)) return;
  CHECK_STR(seen[0].title, "Open Error");
  CHECK_STR(seen[0].text, "can not creat pclog.dat!");
  CHECK(seen[0].hasOk);
}

// Without a desktop no window can be made: callers go on without one, and a
// message returns at once.
// Two downloads on two threads of one host: each gets its window, and the
// first one's going leaves the second's standing. A third opens after both.
DWORD WINAPI HoldWindow(void* parameter) {
  auto* shown = static_cast<LONG*>(parameter);
  auto view = ProcessEnv().ui->OpenProgress(ProgressKind::kSerial);
  if (view) InterlockedIncrement(shown);
  // Both windows stand at the same time, then this one goes.
  for (int i = 0; i < 50 && *shown < 2; ++i) Sleep(10);
  Sleep(100);
  if (view) view->SetPosition(50);
  return 0;
}

void WindowsOnTwoThreads() {
  LONG shown = 0;
  HANDLE threads[2];
  for (HANDLE& t : threads) t = CreateThread(nullptr, 0, HoldWindow, &shown, 0, nullptr);
  WaitForMultipleObjects(2, threads, TRUE, 10000);
  for (HANDLE t : threads) CloseHandle(t);
  CHECK_EQ(shown, 2);
  CHECK(ProcessEnv().ui->OpenProgress(ProgressKind::kSerial) != nullptr);
  CHECK(ProcessEnv().ui->OpenProgress(ProgressKind::kNetwork) != nullptr);
}

void NoDesktop() {
  CHECK(ProcessEnv().ui->OpenProgress(ProgressKind::kSerial) == nullptr);
  CHECK(ProcessEnv().ui->OpenProgress(ProgressKind::kNetwork) == nullptr);
  const unsigned long long start = NowMs();
  ProcessEnv().ui->ShowMessage("can not creat pclog.dat!", "Open Error");
  CHECK(NowMs() - start < 1000);
}

const WineCase kCases[] = {
    {"serial-names", "com4 --baud 19200", SerialNames},
    {"serial-speed", "com4 --baud 19200", SerialSpeed},
    {"serial-idle-read", "com4 --baud 19200", SerialIdleRead},
    {"serial-lost", "com4 --baud 19200; kill-after 3000", SerialLost},
    {"fine-pauses-never-short", "", FinePausesNeverShort},
    {"socket-connect-limit", "", SocketConnectLimit},
    {"files-exclusive", "", FilesExclusive},
    {"data-folder", "", DataFolder},
    {"serial-window", "display", SerialWindow},
    {"network-window", "display", NetworkWindow},
    {"message-box", "display", MessageBoxShown},
    {"windows-on-two-threads", "display", WindowsOnTwoThreads},
    {"no-desktop", "nodisplay", NoDesktop},
};

}  // namespace

int main(int argc, char** argv) {
  StartDialogWatcher();
  return RunWineCases(kCases, sizeof kCases / sizeof kCases[0], argc, argv);
}
