#include "dialog/splash_proc.h"

#include "dialog/centring.h"
#include "export/clipboard.h"
#include "host/entry.h"
#include "render/render.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state.h"

// Step buttons in painting order, with the combo box each one steps.
struct StepButton {
  int id;
  int combo;
  int bitmap;
  bool upper;
};

static const StepButton kStepButtons[] = {
    {IDC_VERTICAL_UP, IDC_VERTICAL, IDB_STEP_UP, true},
    {IDC_VERTICAL_DOWN, IDC_VERTICAL, IDB_STEP_DOWN, false},
    {IDC_HORIZONTAL_UP, IDC_HORIZONTAL, IDB_STEP_UP, true},
    {IDC_HORIZONTAL_DOWN, IDC_HORIZONTAL, IDB_STEP_DOWN, false},
    {IDC_RIM_UP, IDC_RIM, IDB_STEP_UP, true},
    {IDC_RIM_DOWN, IDC_RIM, IDB_STEP_DOWN, false},
    {IDC_LOCATION_UP, IDC_LOCATION, IDB_STEP_UP, true},
    {IDC_LOCATION_DOWN, IDC_LOCATION, IDB_STEP_DOWN, false},
};

static const StepButton *FindStepButton(int id) {
  for (const StepButton &button : kStepButtons)
    if (button.id == id)
      return &button;
  return nullptr;
}

// Set when OK ends the dialog: OK is the last command it handles. EndDialog
// takes the focus from a combo box, whose two notifications would otherwise
// redraw the sketch of a dialog about to vanish; under Wine that more than
// doubled the time OK takes.
static bool gEnded;

static HINSTANCE PluginInstance() {
  return reinterpret_cast<HINSTANCE>(
      static_cast<intptr_t>(gFMExternCallPtr->instanceID));
}

static void CentreDialog(HWND hwnd) {
  HWND owner = GetParent(hwnd);
  if (owner == nullptr)
    owner = GetDesktopWindow();
  RECT rcOwner, rcDlg;
  GetWindowRect(owner, &rcOwner);
  GetWindowRect(hwnd, &rcDlg);
  IntPoint origin = CentredOrigin(
      IntRect{rcOwner.left, rcOwner.top, rcOwner.right, rcOwner.bottom},
      IntRect{rcDlg.left, rcDlg.top, rcDlg.right, rcDlg.bottom});
  SetWindowPos(hwnd, HWND_TOP, origin.x, origin.y, 0, 0, SWP_NOSIZE);
}

static void OnInitDialog(HWND hwnd) {
  // Recorded now, not only at the first paint, so that a combo box
  // notification before that paint draws into this dialog.
  ghwnd = hwnd;
  gEnded = false;
  CentreDialog(hwnd);
  FillValueLists();
  SelectIncomingValues();
  SaveSelections();
  SetWindowTextA(hwnd, gWname);
}

static void Step(const StepButton &button) {
  HWND combo = GetDlgItem(ghwnd, button.combo);
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  LRESULT sel = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  bool wraps = button.combo == IDC_LOCATION;
  if (button.upper) {
    if (sel > 0)
      SendMessageA(combo, CB_SETCURSEL, sel - 1, 0);
    else if (wraps && sel == 0)
      SendMessageA(combo, CB_SETCURSEL, 11, 0);
  } else {
    if (sel < count - 1)
      SendMessageA(combo, CB_SETCURSEL, sel + 1, 0);
    else if (wraps && sel == 11)
      SendMessageA(combo, CB_SETCURSEL, 0, 0);
  }
  Redraw();
  SaveSelections();
}

static void OnReset() {
  FillValueLists();
  SelectIncomingValues();
  SaveSelections();
  Redraw();
}

static void OnOk(HWND hwnd) {
  SaveSelections();
  // The picture is read off the screen: a paint still pending (OK pressed
  // the moment the dialog appeared) would leave it blank.
  UpdateWindow(hwnd);
  HDC hdc = GetRingDC();
  EraseRing(hdc);
  SendItToTheClipboard(hwnd);
  ReleaseRingDC(hdc);
  gEnded = true;
  EndDialog(hwnd, 1);
}

static void PaintStepButton(HDC hdc, const StepButton &button) {
  HBITMAP hBitmap =
      LoadBitmapA(PluginInstance(), MAKEINTRESOURCEA(button.bitmap));
  DrawBitmap(hdc, 0, 0, hBitmap);
  DeleteObject(hBitmap);
}

static void OnPaint(HWND hwnd) {
  PAINTSTRUCT ps;
  ShowWindow(GetDlgItem(hwnd, IDC_CAPTURE_FRAME), SW_HIDE);
  ghwnd = hwnd;

  for (const StepButton &button : kStepButtons) {
    HWND window = GetDlgItem(hwnd, button.id);
    HDC hdc = BeginPaint(window, &ps);
    PaintStepButton(hdc, button);
    if (button.id == IDC_LOCATION_DOWN)
      Redraw();
    EndPaint(window, &ps);
  }

  // The white rectangle paints itself first: the dialog is painted before
  // its controls, and BeginPaint on the rectangle from here would validate
  // it before it ever filled itself white. The ring goes through a DC of
  // the dialog, since one of the rectangle's own is clipped to it.
  HWND sketch = GetDlgItem(hwnd, IDC_SKETCH_AREA);
  UpdateWindow(sketch);
  HDC hdc = BeginPaint(sketch, &ps);
  HDC ringDC = GetRingDC();
  DrawRing(ringDC);
  ReleaseRingDC(ringDC);
  DrawBackroundEllipse(hdc);
  Redraw();
  EndPaint(sketch, &ps);
}

static void OnChar(HWND hwnd, WPARAM code) {
  if (code != '&')
    return;
  HWND sketch = GetDlgItem(hwnd, IDC_SKETCH_AREA);
  HDC hdc = GetDC(sketch);
  DrawBackroundEllipse(hdc);
  RECT rc;
  GetClientRect(GetDlgItem(ghwnd, IDC_SKETCH_AREA), &rc);
  SelectEllipseClip(hdc, rc);
  DrawForegroundEllipse(hdc);
  ReleaseDC(sketch, hdc);
}

// Owner-drawn buttons whose owner draws nothing on WM_DRAWITEM are blank
// after any repaint of their own (a click, a focus change, an uncovering),
// so the arrows are drawn here too.
static BOOL OnDrawItem(const DRAWITEMSTRUCT *item) {
  const StepButton *button = FindStepButton(static_cast<int>(item->CtlID));
  if (button == nullptr)
    return FALSE;
  PaintStepButton(item->hDC, *button);
  return TRUE;
}

INT_PTR CALLBACK SplashProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
  case WM_INITDIALOG:
    OnInitDialog(hwnd);
    return FALSE;
  case WM_PAINT:
    OnPaint(hwnd);
    return FALSE;
  case WM_CHAR:
    OnChar(hwnd, wParam);
    return FALSE;
  case WM_DRAWITEM:
    return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
  case WM_COMMAND: {
    if (gEnded)
      return FALSE;
    int id = LOWORD(wParam);
    if (const StepButton *button = FindStepButton(id)) {
      Step(*button);
    } else if (id == IDC_HORIZONTAL || id == IDC_VERTICAL ||
               id == IDC_LOCATION || id == IDC_RIM) {
      Redraw();
      SaveSelections();
    } else if (id == IDC_RESET) {
      OnReset();
    } else if (id == IDC_OK) {
      OnOk(hwnd);
    }
    // IDCANCEL and every other command leave the dialog open.
    return FALSE;
  }
  default:
    return FALSE;
  }
}
