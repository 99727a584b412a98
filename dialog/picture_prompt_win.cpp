#include "dialog/picture_prompt_win.h"

#include "dialog/language_resources_win.h"
#include "host/x87_state.h"
#include "resources/orbitrace_res.h"

static INT_PTR CALLBACK PromptProc(HWND hwnd, UINT msg, WPARAM wParam,
                                   LPARAM lParam) {
  switch (msg) {
  case WM_INITDIALOG: {
    char text[kPromptTextSize];
    if (LocalString(static_cast<UINT>(lParam), text, sizeof text) > 0)
      SetWindowTextA(GetDlgItem(hwnd, IDC_PROMPT_TEXT), text);
    return TRUE; // the focus on "Try again"
  }
  case WM_COMMAND:
    switch (LOWORD(wParam)) {
    case IDC_TRY_AGAIN:
      EndDialog(hwnd, IDC_TRY_AGAIN);
      break;
    // Escape and the close box too: nothing is stored, the record keeps
    // what it has.
    case IDC_CLOSE_WITHOUT_STORING:
    case IDCANCEL:
      EndDialog(hwnd, IDC_CLOSE_WITHOUT_STORING);
      break;
    default:
      break;
    }
    return TRUE;
  default:
    return FALSE;
  }
}

bool AskToTryAgain(HWND dialog, UINT why) {
  // The prompt's loop runs the host's windows and timers, as the sketch
  // dialog's does: they get the host's x87 state meanwhile, the one the
  // dialog's loop had when OK came (SplashProc). The prompt's own procedure
  // computes nothing, so it pins nothing.
  X87State *host = gHostX87;
  if (host != nullptr)
    LendX87ToLoop(*host);
  const INT_PTR answer = LocalDialogBox(IDD_PICTURE_PROMPT, dialog, PromptProc,
                                        static_cast<LPARAM>(why));
  if (host != nullptr)
    TakeX87FromLoop(host);
  return answer == IDC_TRY_AGAIN;
}
