#include "sketch/sketch_state_win.h"

#include <string.h>

#include "resources/orbitrace_res.h"
#include "sketch/full_width.h"
#include "sketch/value_lists.h"
#include "sketch/value_selection.h"

char gXval[kFieldSize];
char gYval[kFieldSize];
char gPosition[kFieldSize];
char gEdge[kFieldSize];
char gWname[kFieldSize];

char gXval2[kFieldSize];
char gYval2[kFieldSize];
char gPosition2[kFieldSize];
char gEdge2[kFieldSize];

HWND ghwnd;

struct ValueList {
  int id;
  const char *const *items;
  int count;
  char *incoming;
  char *outgoing;
};

static const ValueList kLists[] = {
    {IDC_HORIZONTAL, kRatioItems, kRatioCount, gXval, gXval2},
    {IDC_VERTICAL, kRatioItems, kRatioCount, gYval, gYval2},
    {IDC_LOCATION, kHourItems, kHourCount, gPosition, gPosition2},
    {IDC_RIM, kRimItems, kRimCount, gEdge, gEdge2},
};

// The combo boxes of kLists, in its order. Looked up once: under Wine each
// GetDlgItem asks the server for the dialog's children.
static HWND gCombos[sizeof kLists / sizeof kLists[0]];

void FindValueLists() {
  for (size_t i = 0; i < sizeof kLists / sizeof kLists[0]; ++i)
    gCombos[i] = GetDlgItem(ghwnd, kLists[i].id);
}

// The selected item's text, read from the list the box was filled from:
// a combo box answers WM_GETTEXT with three messages to its list box.
void SaveSelections() {
  for (size_t i = 0; i < sizeof kLists / sizeof kLists[0]; ++i) {
    const ValueList &list = kLists[i];
    memset(list.outgoing, 0, kFieldSize);
    LRESULT sel = SendMessageA(gCombos[i], CB_GETCURSEL, 0, 0);
    if (sel >= 0 && sel < list.count) {
      size_t n = strlen(list.items[sel]);
      memcpy(list.outgoing, list.items[sel],
             n < kFieldSize ? n : kFieldSize - 1);
    }
  }
}

void FillValueLists() {
  for (const ValueList &list : kLists)
    SendDlgItemMessageA(ghwnd, list.id, CB_RESETCONTENT, 0, 0);
  for (const ValueList &list : kLists)
    for (int i = 0; i < list.count; ++i)
      SendDlgItemMessageA(ghwnd, list.id, CB_INSERTSTRING, i,
                          reinterpret_cast<LPARAM>(list.items[i]));
}

// `incoming` with full-width digits, point and minus as ASCII, into `out`
// of kFieldSize bytes: typed through a Japanese input method, "－．２０" is
// the rim -.20. The text as it is where the code page cannot convert it.
static void ReadAsAscii(const char *incoming, char *out) {
  WCHAR wide[kFieldSize];
  const int units =
      MultiByteToWideChar(CP_ACP, 0, incoming, -1, wide, kFieldSize);
  if (units > 0) {
    FoldFullWidthNumber(reinterpret_cast<uint16_t *>(wide), units);
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, out, kFieldSize, nullptr,
                            nullptr) > 0)
      return;
  }
  memcpy(out, incoming, kFieldSize);
  out[kFieldSize - 1] = '\0';
}

void SelectIncomingValues() {
  // By value: a number field's ".3" or "0.30" selects ".30", not ".35".
  for (const ValueList &list : kLists) {
    char text[kFieldSize];
    ReadAsAscii(list.incoming, text);
    SendDlgItemMessageA(
        ghwnd, list.id, CB_SETCURSEL,
        static_cast<WPARAM>(SelectedItem(list.items, list.count, text)), 0);
  }
}
