#include "dialog/splash_proc_win.h"

#include "dialog/centring.h"
#include "dialog/control_names_win.h"
#include "dialog/picture_prompt_win.h"
#include "export/clipboard_win.h"
#include "host/host_services_win.h"
#include "host/x87_state.h"
#include "render/render_win.h"
#include "render/sketch_colours.h"
#include "render/rect_win.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state_win.h"

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

// The sketch area's own window procedure, the static control's, kept while
// the sketch area paints itself (SketchAreaProc).
static WNDPROC gStaticProc;

// Set when OK is pressed: OK is the last command it handles. EndDialog
// takes the focus from a combo box, whose two notifications would otherwise
// redraw the sketch of a dialog about to vanish; under Wine that more than
// doubled the time OK takes.
static bool gEnded;

static void CentreDialog(HWND hwnd) {
  HWND owner = GetParent(hwnd);
  if (owner == nullptr)
    owner = GetDesktopWindow();
  RECT rcOwner, rcDlg;
  GetWindowRect(owner, &rcOwner);
  GetWindowRect(hwnd, &rcDlg);
  IntPoint origin = CentredOrigin(ToIntRect(rcOwner), ToIntRect(rcDlg));
  SetWindowPos(hwnd, HWND_TOP, origin.x, origin.y, 0, 0, SWP_NOSIZE);
}

static LRESULT CALLBACK SketchAreaProc(HWND sketch, UINT msg, WPARAM wParam,
                                       LPARAM lParam);

static void OnInitDialog(HWND hwnd) {
  // Recorded now, not only at the first paint, so that a combo box
  // notification before that paint draws into this dialog.
  ghwnd = hwnd;
  // The sketch area paints itself from now on (SketchAreaProc).
  gStaticProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(GetDlgItem(hwnd, IDC_SKETCH_AREA), GWLP_WNDPROC,
                        reinterpret_cast<LONG_PTR>(SketchAreaProc)));
  gEnded = false;
  CentreDialog(hwnd);
  FindValueLists();
  FillValueLists();
  SelectIncomingValues();
  SaveSelections();
  SetWindowTextA(hwnd, gWname);
  NameTheControls(hwnd);
  PreparePicture();
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
  // The last command, the prompt's wait included: the values stay those of
  // the picture.
  gEnded = true;
  SaveSelections();
  // The picture is drawn from the values just saved, whatever the screen
  // shows, so nothing is repainted or greyed on a dialog about to vanish.
  // The host pastes whatever the clipboard holds beside the values: if the
  // picture cannot go there, the user chooses between trying again and
  // returning no values at all.
  for (;;) {
    PictureOutcome outcome = SendItToTheClipboard(hwnd);
    if (outcome == kPictureStored) {
      EndDialog(hwnd, kSketchStored);
      return;
    }
    if (!AskToTryAgain(hwnd, outcome == kClipboardBusy
                                 ? IDS_CLIPBOARD_BUSY
                                 : IDS_PICTURE_NOT_DRAWN)) {
      EndDialog(hwnd, IDCANCEL);
      return;
    }
  }
}

static void PaintStepButton(HDC hdc, const StepButton &button) {
  HBITMAP hBitmap =
      LoadBitmapA(PluginInstance(), MAKEINTRESOURCEA(button.bitmap));
  DrawBitmap(hdc, 0, 0, hBitmap);
  DeleteObject(hBitmap);
}

// The sketch area paints itself whole: white, whatever the colour scheme,
// then the parts of the hour figures that cross into it, the disc and the
// cup. Left to the static control, a repaint of the sketch area alone (an
// uncovering, an assistive tool) would leave it blank. The static tells its
// parent nothing after its fill, which is why it is given this procedure:
// WM_CTLCOLORSTATIC comes before the fill, and the white rectangle does not
// take its brush but a system colour (the window colour on Windows,
// ButtonHilight under Wine).
static void PaintSketchArea(HWND sketch) {
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(sketch, &ps);
  RECT rc;
  if (hdc != nullptr && GetClientRect(sketch, &rc)) {
    FillRect(hdc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // On Windows the static's DC may reach beyond it (CS_PARENTDC); the
    // dialog draws the figures' parts out there.
    IntersectClipRect(hdc, rc.left, rc.top, rc.right, rc.bottom);
    SetTextColor(hdc, kLabelColour);
    DrawRing(hdc, ToIntRect(rc));
    DrawDiscAndCup(hdc, ToIntRect(rc), SelectedValues(GetParent(sketch)));
  }
  EndPaint(sketch, &ps);
}

static LRESULT SketchAreaMessage(HWND sketch, UINT msg, WPARAM wParam,
                                 LPARAM lParam) {
  WNDPROC original = gStaticProc;
  switch (msg) {
  case WM_PAINT:
    PaintSketchArea(sketch);
    return 0;
  case WM_ENABLE:
  case WM_SYSCOLORCHANGE: {
    // The static paints itself at once on these, in its system colour.
    LRESULT answer = CallWindowProcA(original, sketch, msg, wParam, lParam);
    InvalidateRect(sketch, nullptr, FALSE);
    return answer;
  }
  case WM_NCDESTROY:
    // Put back only what was ours: a procedure set over this one since then
    // (an assistive tool's) would otherwise be unhooked under its owner.
    if (GetWindowLongPtrA(sketch, GWLP_WNDPROC) ==
        reinterpret_cast<LONG_PTR>(SketchAreaProc))
      SetWindowLongPtrA(sketch, GWLP_WNDPROC,
                        reinterpret_cast<LONG_PTR>(original));
    break;
  default:
    break;
  }
  return CallWindowProcA(original, sketch, msg, wParam, lParam);
}

// Each way in from the modal loop computes in the plug-in's x87 state.
static LRESULT CALLBACK SketchAreaProc(HWND sketch, UINT msg, WPARAM wParam,
                                       LPARAM lParam) {
  X87LoopEntry entry;
  PinX87FromLoop(&entry);
  LRESULT answer = SketchAreaMessage(sketch, msg, wParam, lParam);
  RestoreX87ToLoop(entry);
  return answer;
}

static void OnPaint(HWND hwnd) {
  ShowWindow(GetDlgItem(hwnd, IDC_CAPTURE_FRAME), SW_HIDE);
  ghwnd = hwnd;
  // The dialog's own BeginPaint comes first: it erases the background, and
  // left to the default handling after this procedure it would erase what
  // is drawn here (the hour figures outside the sketch area, and on Windows,
  // where painting a child does not take it out of its parent's update
  // region, the step arrows too). The erase is asked for even when the
  // invalidation did not ask: the figures are drawn transparently, and
  // drawn again over themselves their smoothed edges would darken.
  HRGN update = CreateRectRgn(0, 0, 0, 0);
  if (GetUpdateRgn(hwnd, update, FALSE) > NULLREGION)
    InvalidateRgn(hwnd, update, TRUE);
  DeleteObject(update);
  PAINTSTRUCT psDialog;
  HDC dialogDC = BeginPaint(hwnd, &psDialog);
  PAINTSTRUCT ps;

  for (const StepButton &button : kStepButtons) {
    HWND window = GetDlgItem(hwnd, button.id);
    HDC hdc = BeginPaint(window, &ps);
    PaintStepButton(hdc, button);
    EndPaint(window, &ps);
  }

  // The sketch area paints itself whole (PaintSketchArea), once, after the
  // erase that may have run over it; drawn earlier in this paint too (after
  // the last arrow, as it once was) it would only flicker. The figures'
  // parts outside it are drawn here, on the erased background only, with
  // the origin at its corner.
  HWND sketch = GetDlgItem(hwnd, IDC_SKETCH_AREA);
  RedrawWindow(sketch, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  RECT rc;
  if (dialogDC != nullptr && GetClientRect(sketch, &rc)) {
    POINT corner = {0, 0}, oldOrigin;
    MapWindowPoints(sketch, hwnd, &corner, 1);
    SetViewportOrgEx(dialogDC, corner.x, corner.y, &oldOrigin);
    ExcludeClipRect(dialogDC, rc.left, rc.top, rc.right, rc.bottom);
    // On the dialog's face, in the colour the scheme gives text on it: a
    // fixed black would vanish on a high-contrast scheme's black face.
    SetTextColor(dialogDC, GetSysColor(COLOR_BTNTEXT));
    DrawRing(dialogDC, ToIntRect(rc));
    SetViewportOrgEx(dialogDC, oldOrigin.x, oldOrigin.y, nullptr);
  }
  EndPaint(hwnd, &psDialog);
}

static void OnChar(HWND hwnd, WPARAM code) {
  if (code != '&')
    return;
  HWND sketch = GetDlgItem(hwnd, IDC_SKETCH_AREA);
  RECT rc;
  if (!GetClientRect(sketch, &rc))
    return;
  SketchValues values = SelectedValues(hwnd);
  HDC hdc = GetDC(sketch);
  DrawBackroundEllipse(hdc, ToIntRect(rc));
  SelectEllipseClip(hdc, ToIntRect(rc));
  DrawForegroundEllipse(hdc, ToIntRect(rc), values);
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

static INT_PTR SplashMessage(HWND hwnd, UINT msg, WPARAM wParam,
                             LPARAM lParam) {
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
  case WM_DESTROY:
    DiscardPreparedPicture();
    return FALSE;
  case WM_DISPLAYCHANGE:
    // Its layer was drawn for the old display: OK draws it afresh.
    DiscardPreparedPicture();
    return FALSE;
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

INT_PTR CALLBACK SplashProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  X87LoopEntry entry;
  PinX87FromLoop(&entry);
  INT_PTR answer = SplashMessage(hwnd, msg, wParam, lParam);
  RestoreX87ToLoop(entry);
  return answer;
}
