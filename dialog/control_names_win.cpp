#include "dialog/control_names_win.h"

#include "dialog/language_resources_win.h"
#include "dialog/step_button_names.h"
#include "resources/orbitrace_res.h"

// Each combo box is followed in the template by its frame and its label.
struct LabelledBox {
  int box;
  int frame;
  int label;
};

static const LabelledBox kLabelledBoxes[] = {
    {IDC_HORIZONTAL, IDC_HORIZONTAL_FRAME, IDC_HORIZONTAL_LABEL},
    {IDC_VERTICAL, IDC_VERTICAL_FRAME, IDC_VERTICAL_LABEL},
    {IDC_LOCATION, IDC_LOCATION_FRAME, IDC_LOCATION_LABEL},
    {IDC_RIM, IDC_RIM_FRAME, IDC_RIM_LABEL},
};

static bool HasId(HWND window, int id) {
  return window != nullptr && GetWindowLongA(window, GWL_ID) == id;
}

// A screen reader names a box by the nearest static text before it in
// window order, and the template puts each label after its box. Frame and
// label move just before the box, the frame first so that the label is
// still painted over its line; neither is a tab stop, so the tab order
// stays.
static void PutLabelBeforeItsBox(HWND dialog, const LabelledBox &group) {
  HWND box = GetDlgItem(dialog, group.box);
  HWND frame = box != nullptr ? GetWindow(box, GW_HWNDNEXT) : nullptr;
  HWND label = frame != nullptr ? GetWindow(frame, GW_HWNDNEXT) : nullptr;
  if (!HasId(frame, group.frame) || !HasId(label, group.label))
    return;
  // Before it comes first, the label that shares the box's ID takes one of
  // its own: lookups of that ID must still find the box.
  if (group.label == group.box)
    SetWindowLongA(label, GWL_ID, IDC_HORIZONTAL_LABEL_OWN);
  HWND before = GetWindow(box, GW_HWNDPREV);
  const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(frame, before != nullptr ? before : HWND_TOP, 0, 0, 0, 0, flags);
  SetWindowPos(label, frame, 0, 0, 0, 0, flags);
}

void NameTheControls(HWND dialog) {
  for (const LabelledBox &group : kLabelledBoxes)
    PutLabelBeforeItsBox(dialog, group);
  // Owner-drawn, they show their arrows and not this text.
  for (const StepButtonName &step : kStepButtonNames) {
    char name[kStepNameSize];
    if (LocalString(step.name, name, sizeof name) > 0)
      SetWindowTextA(GetDlgItem(dialog, step.button), name);
  }
  // Posted, so that the focus moves once the dialog is up and active, as
  // the dialog manager moves it; set now, it would activate the dialog
  // while it is still hidden.
  PostMessageA(dialog, WM_NEXTDLGCTL,
               reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_HORIZONTAL)),
               TRUE);
}
