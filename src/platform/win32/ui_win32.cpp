#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include <span>
#include <vector>

#include "platform/system.h"

namespace wpl {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kSilver = RGB(192, 192, 192);
// No colour of its own: the system's text colour, or the form's face colour.
constexpr COLORREF kDefault = CLR_INVALID;

struct FontSpec {
  int height;  // negative: character height in pixels
  int weight;
  const char* face;
  BYTE charset;
};

enum class ControlKind { kLabel, kProgressBar, kEdit };

struct ControlSpec {
  const char* name;
  ControlKind kind;
  int left, top, width, height;  // in the form's client area
  const char* text;
  FontSpec font;
  COLORREF textColor;
  COLORREF background;
};

struct FormSpec {
  const char* className;
  INIT_ONCE* registration;  // the class is registered once per process
  const char* caption;
  int left, top, width, height;  // the whole window, frame included
  std::span<const ControlSpec> controls;
};

constexpr FontSpec kVerdana20{-20, FW_NORMAL, "Verdana", DEFAULT_CHARSET};
constexpr FontSpec kSansSerif16{-16, FW_NORMAL, "MS Sans Serif", DEFAULT_CHARSET};
constexpr FontSpec kSansSerif19{-19, FW_NORMAL, "MS Sans Serif", DEFAULT_CHARSET};
constexpr FontSpec kArialBold24{-24, FW_BOLD, "Arial", DEFAULT_CHARSET};
constexpr FontSpec kGb2312Text20{-20, FW_NORMAL, "MS Sans Serif", GB2312_CHARSET};
constexpr FontSpec kSansSerif13{-13, FW_NORMAL, "MS Sans Serif", DEFAULT_CHARSET};

// "Down loading": serial and modem downloads. The bar has no text; it takes
// the form's font.
constexpr ControlSpec kSerialControls[] = {
    {"Label1", ControlKind::kLabel, 80, 8, 229, 25, "KORVANE ELECTRONIC", kVerdana20, kRed,
     kSilver},
    {"ProgressBar1", ControlKind::kProgressBar, 16, 48, 353, 17, "", kSansSerif19, kDefault,
     kDefault},
    {"Label2", ControlKind::kLabel, 88, 80, 218, 20, "DATA DOWNLOADING ... ...", kSansSerif16, kRed,
     kDefault},
};

// "LAN DOWNLOAD": network downloads; Edit1 carries the connection status.
constexpr ControlSpec kNetworkControls[] = {
    {"Label2", ControlKind::kLabel, 104, 8, 267, 29, "KORVANE ELECTRONIC", kArialBold24, kRed,
     kDefault},
    {"ProgressBar1", ControlKind::kProgressBar, 48, 48, 377, 25, "", kSansSerif13, kDefault,
     kDefault},
    {"Label1", ControlKind::kLabel, 48, 88, 210, 20, "DATA DOWNLOADING ... ", kGb2312Text20, kRed,
     kDefault},
    {"Edit1", ControlKind::kEdit, 256, 88, 169, 24, "", kSansSerif13, kDefault, kDefault},
};

INIT_ONCE serialRegistration = INIT_ONCE_STATIC_INIT;
INIT_ONCE networkRegistration = INIT_ONCE_STATIC_INIT;

constexpr FormSpec kSerialForm{
    "w_pclog TForm1", &serialRegistration, "Down loading", 206, 174, 396, 148, kSerialControls};
constexpr FormSpec kNetworkForm{
    "w_pclog TForm2", &networkRegistration, "LAN DOWNLOAD", 195, 163, 482, 164, kNetworkControls};

constexpr int kProgressMax = 100;
// Messages handled per Repaint, so that a flood can never hold the caller.
constexpr int kPumpLimit = 64;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

const char* WindowClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel: return "STATIC";
    case ControlKind::kProgressBar: return PROGRESS_CLASSA;
    case ControlKind::kEdit: return "EDIT";
  }
  return "STATIC";
}

DWORD StyleOf(ControlKind kind) {
  const DWORD child = WS_CHILD | WS_VISIBLE;
  switch (kind) {
    case ControlKind::kLabel:  // clipped at its width, never wrapped
      return child | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    case ControlKind::kProgressBar: return child | WS_TABSTOP;
    case ControlKind::kEdit: return child | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
  }
  return child;
}

class Win32ProgressView : public ProgressView {
 public:
  explicit Win32ProgressView(const FormSpec& form) : form_(form), module_(ThisModule()) {}

  ~Win32ProgressView() override {
    if (window_) DestroyWindow(window_);
    for (HFONT f : fonts_) DeleteObject(f);
    for (HBRUSH b : brushes_) DeleteObject(b);
  }

  // Builds the window and its controls; false when no window can be made
  // (no desktop to draw on).
  bool Create() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    if (!Register()) return false;
    window_ = CreateWindowExA(0, form_.className, form_.caption,
                              WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, form_.left, form_.top,
                              form_.width, form_.height, nullptr, nullptr, module_, this);
    if (!window_) return false;
    int id = 1;
    for (const ControlSpec& c : form_.controls) {
      HWND h = CreateWindowExA(
          c.kind == ControlKind::kEdit ? WS_EX_CLIENTEDGE : 0, WindowClassOf(c.kind), c.text,
          StyleOf(c.kind), c.left, c.top, c.width, c.height, window_,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), module_, nullptr);
      if (!h) return false;
      HFONT font = CreateFontA(c.font.height, 0, 0, 0, c.font.weight, FALSE, FALSE, FALSE,
                               c.font.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, c.font.face);
      fonts_.push_back(font);
      if (font) SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      brushes_.push_back(c.background == kDefault ? nullptr : CreateSolidBrush(c.background));
      if (c.kind == ControlKind::kProgressBar) {
        SendMessageA(h, PBM_SETRANGE32, 0, kProgressMax);
        bar_ = h;
      }
      if (c.kind == ControlKind::kEdit) edit_ = h;
    }
    ShowWindow(window_, SW_SHOW);
    return true;
  }

  void SetPosition(int percent) override {
    if (bar_) SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    // The transfer keeps this thread busy for minutes: at each step, let the
    // window repaint and answer what was sent to it, or Windows takes it for
    // a hung program after 5 s and other threads asking it wait.
    HandlePending();
  }

  void SetStatus(const std::string& text) override {
    // The serial window has no edit box: nothing to show.
    if (edit_) SetWindowTextA(edit_, text.c_str());
  }

  void Repaint() override {
    RedrawWindow(window_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HandlePending();
  }

 private:
  // The library runs no message loop; handle what is pending for this
  // window and its controls alone, leaving the host's own messages where
  // they are. (Messages other threads sent are delivered on the way.)
  void HandlePending() {
    MSG msg;
    for (int i = 0; i < kPumpLimit && PeekMessageA(&msg, window_, 0, 0, PM_REMOVE); ++i) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  // The form's class, registered once for the process and kept: windows of
  // it may stand on several threads at once (two downloads of one host), so
  // no window may take it away from another. Safe from any thread: the first
  // caller registers, the others wait for it.
  bool Register() {
    // A failed registration leaves the once open: the next window tries again.
    return InitOnceExecuteOnce(form_.registration, &Win32ProgressView::RegisterOnce,
                               const_cast<FormSpec*>(&form_), nullptr) != 0;
  }

  static BOOL CALLBACK RegisterOnce(INIT_ONCE*, void* parameter, void**) {
    const FormSpec& form = *static_cast<const FormSpec*>(parameter);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32ProgressView::FormProc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = form.className;
    if (RegisterClassExA(&wc)) return TRUE;
    if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return FALSE;
    // Left behind by an earlier load of this library, whose window
    // procedure is gone: no window of it stands, so it can be replaced.
    UnregisterClassA(form.className, wc.hInstance);
    return RegisterClassExA(&wc) != 0;
  }

  // Labels draw in the row's colours: red text, and their own background
  // where they have one, else the form's face colour. 0 for a control not
  // (yet) made from the table.
  LRESULT ColorStatic(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id < 1 || static_cast<size_t>(id) > brushes_.size()) return 0;
    const ControlSpec& c = form_.controls[static_cast<size_t>(id - 1)];
    if (c.textColor != kDefault) SetTextColor(dc, c.textColor);
    HBRUSH brush = brushes_[static_cast<size_t>(id - 1)];
    if (brush) {
      SetBkColor(dc, c.background);
      return reinterpret_cast<LRESULT>(brush);
    }
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lp);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* view = reinterpret_cast<Win32ProgressView*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (msg) {
      case WM_CTLCOLORSTATIC:
        if (view) {
          if (LRESULT brush =
                  view->ColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)))
            return brush;
        }
        break;
      case WM_CLOSE:
        // The window lives exactly as long as the transfer it shows.
        return 0;
      case WM_NCDESTROY: SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0); break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
  }

  const FormSpec& form_;
  HINSTANCE module_;
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
  HWND edit_ = nullptr;
  std::vector<HFONT> fonts_;
  std::vector<HBRUSH> brushes_;
};

}  // namespace

void SystemUi::ShowMessage(const std::string& text, const std::string& title) {
  MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK);
}

std::unique_ptr<ProgressView> SystemUi::OpenProgress(ProgressKind kind) {
  auto view = std::make_unique<Win32ProgressView>(kind == ProgressKind::kNetwork ? kNetworkForm
                                                                                 : kSerialForm);
  if (!view->Create()) return nullptr;
  return view;
}

}  // namespace wpl
