#include "sketch/show_orbitrace_win.h"

#include <string.h>
#include <windows.h>

#include "dialog/language_resources_win.h"
#include "dialog/splash_proc_win.h"
#include "host/host_services_win.h"
#include "host/x87_state.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state_win.h"

static const char kParameterError[] = "$$002$$";

// Appends `text` to the zero-terminated `buffer` of `size` bytes, cutting it
// short rather than writing past the end.
static void AppendBounded(char *buffer, size_t size, const char *text) {
  size_t used = strnlen(buffer, size - 1);
  size_t room = size - 1 - used;
  size_t length = strnlen(text, room);
  memcpy(buffer + used, text, length);
  buffer[used + length] = '\0';
}

// Set while a sketch dialog is open. The dialog's loop dispatches the
// host's messages and timers, and an enabled host window can be used, so a
// Draw call can arrive inside a Draw call; it would overwrite the state of
// the open dialog, which shares it.
static LONG gDialogOpen;

static BOOL CALLBACK FindOwnerWindow(HWND hwnd, LPARAM lParam) {
  bool tool = (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
  if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && !tool) {
    *reinterpret_cast<HWND *>(lParam) = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The host's window that the dialog belongs to, so that the host is
// disabled while it is open and it stays above the host. GetActiveWindow
// finds none when the host is in the background (another program active,
// a scheduled script, the host minimized); then the calling thread's
// top-level window nearest the top that a user could reach (visible,
// enabled, not a tool window such as a tooltip or a palette), if it has
// one. Of an owned window (one of the host's palettes or dialogs) it is the
// window at the root of its owners, the host's main window, that is
// disabled.
static HWND HostWindow() {
  HWND found = GetActiveWindow();
  if (found == nullptr)
    EnumThreadWindows(GetCurrentThreadId(), FindOwnerWindow,
                      reinterpret_cast<LPARAM>(&found));
  if (found == nullptr)
    return nullptr;
  // The root owner, walked as GetAncestor(GA_ROOTOWNER) walks it; that
  // function is not in Windows 95 or NT 4.0, on which the host runs.
  HWND owner = found;
  for (HWND up = GetParent(owner); up != nullptr; up = GetParent(owner))
    owner = up;
  return owner;
}

// The dialog's loop also runs the host's own windows and timers: they get the
// host's x87 state, and the dialog's procedures pin the plug-in's for
// themselves. (What of the host's still runs pinned: host/x87_state.h.)
static INT_PTR RunSketchDialog() {
  HWND hostWindow = HostWindow();
  // A minimized host is not the owner: the dialog would be hidden with it,
  // or centred on it far off the screen. It is disabled all the same, as
  // the dialog disables an owner, so that nobody can restore it and change
  // records or close the file while its call is in here.
  HWND owner = hostWindow;
  bool disabledHere = false;
  if (hostWindow != nullptr && IsIconic(hostWindow)) {
    owner = nullptr;
    disabledHere = !EnableWindow(hostWindow, FALSE);
  }
  X87State *host = gHostX87;
  if (host != nullptr)
    LendX87ToLoop(*host);
  INT_PTR ended = LocalDialogBox(IDD_SKETCH, owner, SplashProc, 0);
  // What the host left in the loop is what it gets back at the end.
  if (host != nullptr)
    TakeX87FromLoop(host);
  if (disabledHere)
    EnableWindow(hostWindow, TRUE);
  return ended;
}

static void OpenSketch(FMHandle parameter, FMHandle result) {
  char parmin[kFieldSize];
  char parmout[kFieldSize];
  int32_t ParmLength = ParameterLength(parameter);

  memset(gXval, 0, sizeof gXval);
  memset(gYval, 0, sizeof gYval);
  memset(gPosition, 0, sizeof gPosition);
  memset(gEdge, 0, sizeof gEdge);
  memset(gWname, 0, sizeof gWname);
  memset(parmin, 0, sizeof parmin);

  if (ParmLength <= 0 || ParmLength > kMaxParameterLength) {
    WriteResultText(result, kParameterError);
    return;
  }

  if (!ReadParameterText(parameter, parmin, ParmLength))
    return;

  // Split by the code page's characters: in a double-byte one a bar can be
  // the second byte of a character.
  LeadByteRanges lead = {};
  CPINFO codePage;
  if (GetCPInfo(CP_ACP, &codePage) && codePage.MaxCharSize > 1)
    memcpy(lead.bytes, codePage.LeadByte, sizeof lead.bytes);
  char fields[kFieldCount][kFieldSize];
  SplitParameter(parmin, ParmLength, fields, &lead);
  memcpy(gXval, fields[0], kFieldSize);
  memcpy(gYval, fields[1], kFieldSize);
  memcpy(gPosition, fields[2], kFieldSize);
  memcpy(gEdge, fields[3], kFieldSize);
  memcpy(gWname, fields[4], kFieldSize);

  // Only OK with the picture stored returns values. Without a dialog, or
  // with one ended any other way (a WM_QUIT, which the dialog manager ends
  // as IDOK; an EndDialog of someone else's; "Close without storing"), the
  // host gets the error it already knows instead of values without their
  // picture. Only the low 16 bits count: 9x's 16-bit dialog manager
  // documents nothing of the high word it gives back.
  if ((RunSketchDialog() & 0xFFFF) != kSketchStored) {
    WriteResultText(result, kParameterError);
    return;
  }

  memset(parmout, 0, sizeof parmout);
  AppendBounded(parmout, sizeof parmout, gXval2);
  AppendBounded(parmout, sizeof parmout, "|");
  AppendBounded(parmout, sizeof parmout, gYval2);
  AppendBounded(parmout, sizeof parmout, "|");
  AppendBounded(parmout, sizeof parmout, gPosition2);
  AppendBounded(parmout, sizeof parmout, "|");
  AppendBounded(parmout, sizeof parmout, gEdge2);
  WriteResultText(result, parmout);
}

void ShowOrbitrace(FMHandle parameter, FMHandle result) {
  // Refused before anything is read or cleared: the open dialog's values,
  // its window and its record stay as they are.
  if (InterlockedExchange(&gDialogOpen, 1) != 0) {
    WriteResultText(result, kParameterError);
    return;
  }
  OpenSketch(parameter, result);
  InterlockedExchange(&gDialogOpen, 0);
}
