#include "dialog/picture_prompt.h"

#include "host/host_services.h"
#include "resources/orbitrace_res.h"

static INT_PTR CALLBACK PromptProc(HWND hwnd, UINT msg, WPARAM wParam,
                                   LPARAM lParam) {
  switch (msg) {
  case WM_INITDIALOG: {
    char text[512];
    if (LoadStringA(PluginInstance(), static_cast<UINT>(lParam), text,
                    sizeof text) > 0)
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
  return DialogBoxParamA(PluginInstance(), MAKEINTRESOURCEA(IDD_PICTURE_PROMPT),
                         dialog, PromptProc,
                         static_cast<LPARAM>(why)) == IDC_TRY_AGAIN;
}
