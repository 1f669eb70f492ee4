/* The library's progress window, watched from a thread of the test program
 * while an export runs on the main thread: whether a window with the given
 * caption was there and visible, and the positions its progress bar showed.
 *
 * The window belongs to the main thread, which is inside the export: the
 * watcher finds it by caption without sending it anything (FindWindow reads
 * the caption the system keeps), and asks the bar for its position with a
 * time limit, since the answer comes only when that thread handles the
 * window's messages. */
#ifndef WPL_WINE_PROGRESS_WATCHER_H
#define WPL_WINE_PROGRESS_WATCHER_H

#include <string.h>
#include <windows.h>
/* After windows.h, which it builds on. */
#include <commctrl.h>

struct ProgressSeen {
  int found;     /* polls that found the window */
  int visible;   /* ... of which it was visible (not while being made or
                  * taken down) */
  int range;     /* the top of the bar's range, once read; -1 before */
  int positions; /* positions read */
  int first, last, highest;
  int backwards; /* times a position was below the one before */
};

#define WPL_PROGRESS_POLL_MS 2
#define WPL_PROGRESS_ASK_MS 200

static struct {
  const char* caption;
  volatile LONG stop;
  HANDLE thread;
  struct ProgressSeen seen;
} wpl_progress;

/* The window of this process with the caption, or NULL. */
static inline HWND FindProgressWindow(const char* caption) {
  DWORD pid = 0;
  HWND w = FindWindowA(NULL, caption);
  if (w) GetWindowThreadProcessId(w, &pid);
  return w && pid == GetCurrentProcessId() ? w : NULL;
}

static inline void WplLookAtProgress(HWND w) {
  struct ProgressSeen* s = &wpl_progress.seen;
  HWND bar = FindWindowExA(w, NULL, PROGRESS_CLASSA, NULL);
  DWORD_PTR pos = 0, max = 0;
  ++s->found;
  if (IsWindowVisible(w)) ++s->visible;
  if (!bar) return; /* not yet made, or taken down */
  if (s->range < 0 &&
      SendMessageTimeoutA(bar, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, WPL_PROGRESS_ASK_MS, &max))
    s->range = (int)max;
  if (!SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, WPL_PROGRESS_ASK_MS, &pos)) return;
  if (s->positions == 0) s->first = (int)pos;
  if (s->positions > 0 && (int)pos < s->last) ++s->backwards;
  if ((int)pos > s->highest) s->highest = (int)pos;
  s->last = (int)pos;
  ++s->positions;
}

static inline DWORD WINAPI WplWatchProgress(LPVOID unused) {
  (void)unused;
  while (!wpl_progress.stop) {
    HWND w = FindProgressWindow(wpl_progress.caption);
    if (w) WplLookAtProgress(w);
    Sleep(WPL_PROGRESS_POLL_MS);
  }
  return 0;
}

/* Starts watching for the window with `caption`. */
static inline void StartProgressWatch(const char* caption) {
  memset(&wpl_progress.seen, 0, sizeof wpl_progress.seen);
  wpl_progress.seen.highest = -1;
  wpl_progress.seen.range = -1;
  wpl_progress.caption = caption;
  wpl_progress.stop = 0;
  wpl_progress.thread = CreateThread(NULL, 0, WplWatchProgress, NULL, 0, NULL);
}

/* Ends the watch; what was seen. */
static inline struct ProgressSeen StopProgressWatch(void) {
  InterlockedExchange(&wpl_progress.stop, 1);
  if (wpl_progress.thread) {
    WaitForSingleObject(wpl_progress.thread, 5000);
    CloseHandle(wpl_progress.thread);
    wpl_progress.thread = NULL;
  }
  return wpl_progress.seen;
}

#endif /* WPL_WINE_PROGRESS_WATCHER_H */
