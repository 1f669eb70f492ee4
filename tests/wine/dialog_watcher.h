/* Message boxes seen while the cases run. On a desktop a modal box waits for
 * a click; a thread of the test program finds every dialog box of this
 * process, records its title and text, and presses OK, so that no box holds
 * a case and the cases can check what the user would have been told. */
#ifndef WPL_WINE_DIALOG_WATCHER_H
#define WPL_WINE_DIALOG_WATCHER_H

#include <string.h>
#include <windows.h>

struct SeenDialog {
  char title[128];
  char text[256];
  int hasOk; /* an OK button and no other */
};

#define WPL_MAX_DIALOGS 64
#define WPL_POLL_MS 20

static CRITICAL_SECTION wpl_dialog_lock;
static struct SeenDialog wpl_dialogs[WPL_MAX_DIALOGS];
static int wpl_dialog_count;
static HWND wpl_answered[WPL_MAX_DIALOGS]; /* boxes already answered, most recent last */

/* Text of a window of the dialog's thread, which is inside its modal loop
 * and so answers; the time limit keeps a stuck box from stopping the watch. */
static inline void WplWindowText(HWND w, char* out, int size) {
  DWORD_PTR len = 0;
  out[0] = '\0';
  if (!SendMessageTimeoutA(w, WM_GETTEXT, (WPARAM)size, (LPARAM)out, SMTO_ABORTIFHUNG, 1000, &len))
    out[0] = '\0';
  out[size - 1] = '\0';
}

static inline BOOL CALLBACK WplReadDialogChild(HWND child, LPARAM param) {
  struct SeenDialog* seen = (struct SeenDialog*)param;
  char cls[32];
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Button") == 0 && IsWindowVisible(child))
    seen->hasOk = seen->hasOk == 0 && GetDlgCtrlID(child) == IDOK ? 1 : -1;
  if (lstrcmpiA(cls, "Static") == 0 && seen->text[0] == '\0')
    WplWindowText(child, seen->text, (int)sizeof seen->text);
  return TRUE;
}

static inline BOOL CALLBACK WplAnswerDialog(HWND w, LPARAM unused) {
  DWORD pid = 0;
  char cls[32];
  struct SeenDialog seen;
  int i;
  (void)unused;
  GetWindowThreadProcessId(w, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(w)) return TRUE;
  GetClassNameA(w, cls, sizeof cls);
  if (strcmp(cls, "#32770") != 0) return TRUE;
  for (i = 0; i < WPL_MAX_DIALOGS; ++i)
    if (wpl_answered[i] == w) return TRUE;
  memset(&seen, 0, sizeof seen);
  WplWindowText(w, seen.title, (int)sizeof seen.title);
  EnumChildWindows(w, WplReadDialogChild, (LPARAM)&seen);
  if (seen.hasOk < 0) seen.hasOk = 0;
  EnterCriticalSection(&wpl_dialog_lock);
  if (wpl_dialog_count < WPL_MAX_DIALOGS) wpl_dialogs[wpl_dialog_count++] = seen;
  LeaveCriticalSection(&wpl_dialog_lock);
  memmove(wpl_answered, wpl_answered + 1, sizeof wpl_answered - sizeof wpl_answered[0]);
  wpl_answered[WPL_MAX_DIALOGS - 1] = w;
  PostMessageA(w, WM_COMMAND, IDOK, 0);
  return TRUE;
}

static inline DWORD WINAPI WplWatchDialogs(LPVOID unused) {
  (void)unused;
  for (;;) {
    EnumWindows(WplAnswerDialog, 0);
    Sleep(WPL_POLL_MS);
  }
  return 0;
}

static inline void StartDialogWatcher(void) {
  HANDLE thread;
  InitializeCriticalSection(&wpl_dialog_lock);
  thread = CreateThread(NULL, 0, WplWatchDialogs, NULL, 0, NULL);
  if (thread) CloseHandle(thread);
}

/* Moves the boxes seen since the last call into `out`; returns their count. */
static inline int TakeDialogs(struct SeenDialog* out, int max) {
  int n, i;
  EnterCriticalSection(&wpl_dialog_lock);
  n = wpl_dialog_count < max ? wpl_dialog_count : max;
  for (i = 0; i < n; ++i) out[i] = wpl_dialogs[i];
  wpl_dialog_count = 0;
  LeaveCriticalSection(&wpl_dialog_lock);
  return n;
}

#endif /* WPL_WINE_DIALOG_WATCHER_H */
