// The sketch dialog driven with real messages: set-up, the value lists and
// their selections, stepping, Reset, the ways it does not close, its owner
// and calls made while it is open. A little past the usual length, all of
// it on the same dialog helpers.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "dialog/dialog_language.h"
#include "dialog/picture_prompt_win.h"
#include "dialog/step_button_names.h"
#include "dialog/string_block.h"
#include "host/entry_win.h"
#include "host/host_services_win.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state_win.h"
#include "stand-in-host/host_memory.h"
#include "tests/wine/import_patch.h"
#include "tests/wine/sketch_harness.h"

namespace {

struct Values {
  std::string x, y, position, rim;
};

Values Selections(HWND dlg) {
  return {ControlText(dlg, IDC_HORIZONTAL), ControlText(dlg, IDC_VERTICAL),
          ControlText(dlg, IDC_LOCATION), ControlText(dlg, IDC_RIM)};
}

Values Outgoing() { return {gXval2, gYval2, gPosition2, gEdge2}; }

std::string Show(const Values &v) {
  return v.x + "|" + v.y + "|" + v.position + "|" + v.rim;
}

class DialogTest : public ::testing::Test {
protected:
  void SetUp() override { HostReset(); }
  void TearDown() override {
    std::string report;
    EXPECT_TRUE(HostCheckIntegrity(&report)) << report;
  }
};

TEST_F(DialogTest, CaptionComesFromTheFifthField) {
  std::string withTitle, withoutTitle;
  RunSketch(".35|.40|3|-.20|Right eye", {DialogStep::Run([&](HWND d) {
              char text[256] = "";
              GetWindowTextA(d, text, sizeof text);
              withTitle = text;
            })});
  RunSketch(".35|.40", {DialogStep::Run([&](HWND d) {
              char text[256] = "x";
              GetWindowTextA(d, text, sizeof text);
              withoutTitle = text;
            })});
  EXPECT_EQ("Right eye", withTitle);
  EXPECT_EQ("", withoutTitle);
}

TEST_F(DialogTest, OpensCentredOnTheDesktopWithoutSystemMenu) {
  RECT rcDlg = {}, rcDesk = {};
  LONG style = 0;
  RunSketch("1", {DialogStep::Run([&](HWND d) {
              GetWindowRect(d, &rcDlg);
              GetWindowRect(GetDesktopWindow(), &rcDesk);
              style = GetWindowLongA(d, GWL_STYLE);
            })});
  EXPECT_FALSE(style & WS_SYSMENU) << "style " << std::hex << style;
  EXPECT_TRUE(style & WS_CAPTION) << "style " << std::hex << style;
  int width = rcDlg.right - rcDlg.left, height = rcDlg.bottom - rcDlg.top;
  int expectedX = rcDesk.left + ((rcDesk.right - rcDesk.left) - width) / 2;
  int expectedY = rcDesk.top + ((rcDesk.bottom - rcDesk.top) - height) / 2;
  EXPECT_EQ(expectedX, rcDlg.left) << "dialog " << width << " wide";
  EXPECT_EQ(expectedY, rcDlg.top) << "dialog " << height << " high";
}

TEST_F(DialogTest, ListsHoldTheirItemsInOrder) {
  std::vector<std::string> h, v, position, rim;
  std::string idClass;
  RunSketch("1", {DialogStep::Run([&](HWND d) {
              h = ComboItems(d, IDC_HORIZONTAL);
              v = ComboItems(d, IDC_VERTICAL);
              position = ComboItems(d, IDC_LOCATION);
              rim = ComboItems(d, IDC_RIM);
              char cls[64] = "";
              GetClassNameA(GetDlgItem(d, IDC_HORIZONTAL), cls, sizeof cls);
              idClass = cls;
            })});
  const std::vector<std::string> ratios = {
      "1",   ".95", ".90", ".85", ".80", ".75", ".70",
      ".65", ".60", ".55", ".50", ".45", ".40", ".35",
      ".30", ".25", ".20", ".15", ".10", ".05", "0"};
  std::vector<std::string> rims = ratios;
  for (const char *r : {"-.05", "-.10", "-.15", "-.20", "-.25", "-.30", "-.35",
                        "-.40", "-.45", "-.50", "-.55", "-.60", "-.65", "-.70",
                        "-.75", "-.80", "-.85", "-.90", "-.95"})
    rims.push_back(r);
  const std::vector<std::string> hours = {"1", "2", "3", "4",  "5",  "6",
                                          "7", "8", "9", "10", "11", "12"};
  EXPECT_EQ(ratios, h);
  EXPECT_EQ(ratios, v);
  EXPECT_EQ(hours, position);
  EXPECT_EQ(rims, rim);
  EXPECT_EQ(40u, rim.size());
  EXPECT_STREQ("ComboBox", idClass.c_str())
      << "ID 101 must find the combo box, not the label that shares it";
}

struct SelectionCase {
  std::string param;
  Values expected;
};

TEST_F(DialogTest, OpeningSelectionsGoByValueThenByPrefix) {
  // A zero byte ends its field's text; later bars still split.
  const char zeroBytes[] = ".3\0"
                           "5|.4|1\0"
                           "0|-.2";
  const SelectionCase cases[] = {
      {".35|.40|3|-.10", {".35", ".40", "3", "-.10"}},
      {".5|.9|1|-.5", {".50", ".90", "1", "-.50"}},
      {"0|0|12|-", {"0", "0", "12", "-.05"}},
      {"0.5|1.0|07| .50", {".50", "1", "7", ".50"}},
      // Not numbers: the first item that begins with the text, else "1".
      {" .35|0.333|x|-", {".35", "1", "1", "-.05"}},
      {"||||Right eye", {"1", "1", "1", "1"}},
      {".35|.40", {".35", ".40", "1", "1"}},
      {"A|b|c|d|e|f", {"1", "1", "1", "1"}},
      {std::string(zeroBytes, sizeof zeroBytes - 1),
       {".30", ".40", "1", "-.20"}},
  };
  for (const SelectionCase &c : cases) {
    Values opened, saved;
    SketchRun run = RunSketch(c.param, {DialogStep::Run([&](HWND d) {
                                opened = Selections(d);
                                saved = Outgoing();
                              })});
    EXPECT_EQ(Show(c.expected), Show(opened)) << "parameter " << c.param;
    EXPECT_EQ(Show(opened), Show(saved))
        << "outgoing values before any change, parameter " << c.param;
    EXPECT_EQ(Show(c.expected), run.call.result) << "parameter " << c.param;
  }
}

struct StepCase {
  const char *param;
  int button;
  int combo;
  int clicks;
  const char *expected;
};

TEST_F(DialogTest, StepButtonsStopOrWrapAtTheEnds) {
  const StepCase cases[] = {
      {"1|1|1|1", IDC_HORIZONTAL_UP, IDC_HORIZONTAL, 1, "1"},
      {"1|1|1|1", IDC_HORIZONTAL_DOWN, IDC_HORIZONTAL, 1, ".95"},
      {"0|0|1|1", IDC_HORIZONTAL_DOWN, IDC_HORIZONTAL, 1, "0"},
      {".50|0|1|1", IDC_HORIZONTAL_UP, IDC_HORIZONTAL, 1, ".55"},
      {"1|0|1|1", IDC_VERTICAL_DOWN, IDC_VERTICAL, 1, "0"},
      {"1|1|1|1", IDC_VERTICAL_DOWN, IDC_VERTICAL, 20, "0"},
      {"1|1|1|1", IDC_VERTICAL_DOWN, IDC_VERTICAL, 25, "0"},
      {"1|.05|1|1", IDC_VERTICAL_UP, IDC_VERTICAL, 1, ".10"},
      {"1|1|1|1", IDC_VERTICAL_UP, IDC_VERTICAL, 3, "1"},
      {"1|1|1|0", IDC_RIM_DOWN, IDC_RIM, 1, "-.05"},
      {"1|1|1|-.95", IDC_RIM_DOWN, IDC_RIM, 1, "-.95"},
      {"1|1|1|1", IDC_RIM_UP, IDC_RIM, 1, "1"},
      {"1|1|1|-.05", IDC_RIM_UP, IDC_RIM, 1, "0"},
      {"1|1|1|1", IDC_LOCATION_UP, IDC_LOCATION, 1, "12"},
      {"1|1|12|1", IDC_LOCATION_DOWN, IDC_LOCATION, 1, "1"},
      {"1|1|6|1", IDC_LOCATION_UP, IDC_LOCATION, 1, "5"},
      {"1|1|6|1", IDC_LOCATION_DOWN, IDC_LOCATION, 1, "7"},
      {"1|1|11|1", IDC_LOCATION_DOWN, IDC_LOCATION, 3, "2"},
  };
  for (const StepCase &c : cases) {
    std::vector<std::string> seen, saved;
    std::vector<DialogStep> steps;
    for (int i = 0; i < c.clicks; ++i) {
      steps.push_back(DialogStep::Click(c.button));
      steps.push_back(DialogStep::Run([&](HWND d) {
        seen.push_back(Show(Selections(d)));
        saved.push_back(Show(Outgoing()));
      }));
    }
    std::string target;
    steps.push_back(
        DialogStep::Run([&](HWND d) { target = ControlText(d, c.combo); }));
    RunSketch(c.param, steps);
    EXPECT_EQ(c.expected, target)
        << "button " << c.button << " x" << c.clicks << " from " << c.param;
    EXPECT_EQ(seen, saved) << "each step refreshes the outgoing values";
  }
}

TEST_F(DialogTest, StepIgnoresTheNotificationCode) {
  std::string after;
  RunSketch(".50|1|1|1", {DialogStep::Run([&](HWND d) {
              // Any notification code is a click: here BN_DOUBLECLICKED.
              SendMessageA(
                  d, WM_COMMAND, MAKEWPARAM(IDC_HORIZONTAL_DOWN, 5),
                  reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_HORIZONTAL_DOWN)));
              after = ControlText(d, IDC_HORIZONTAL);
            })});
  EXPECT_EQ(".45", after);
}

TEST_F(DialogTest, ComboCommandsRefreshTheOutgoingValues) {
  Values saved;
  RunSketch(".35|.40|3|-.20",
            {DialogStep::Select(IDC_VERTICAL, ".75"),
             DialogStep::Select(IDC_RIM, "-.95"),
             DialogStep::Run([&](HWND) { saved = Outgoing(); })});
  EXPECT_EQ(".35|.75|3|-.95", Show(saved));
}

TEST_F(DialogTest, ResetReturnsToTheOpeningSelections) {
  Values opened, afterReset, savedAfterReset;
  std::string caption;
  RECT before = {}, after = {};
  SketchRun run = RunSketch(".5|.9|11|-.5|Left eye",
                            {DialogStep::Run([&](HWND d) {
                               opened = Selections(d);
                               GetWindowRect(d, &before);
                             }),
                             DialogStep::Click(IDC_HORIZONTAL_DOWN),
                             DialogStep::Click(IDC_VERTICAL_DOWN),
                             DialogStep::Click(IDC_LOCATION_DOWN),
                             DialogStep::Click(IDC_LOCATION_DOWN),
                             DialogStep::Select(IDC_RIM, "1"),
                             DialogStep::Reset(), DialogStep::Run([&](HWND d) {
                               afterReset = Selections(d);
                               savedAfterReset = Outgoing();
                               GetWindowRect(d, &after);
                               char text[256] = "";
                               GetWindowTextA(d, text, sizeof text);
                               caption = text;
                             })});
  EXPECT_EQ(".50|.90|11|-.50", Show(opened));
  EXPECT_EQ(Show(opened), Show(afterReset));
  EXPECT_EQ(Show(opened), Show(savedAfterReset));
  EXPECT_EQ(".50|.90|11|-.50", run.call.result)
      << "the item texts, not the incoming prefixes";
  EXPECT_EQ("Left eye", caption);
  EXPECT_EQ(before.left, after.left);
  EXPECT_EQ(before.top, after.top);
}

TEST_F(DialogTest, CancelEscapeAndCloseLeaveItOpen) {
  bool openAfterCancel = false, openAfterEscape = false, openAfterClose = false;
  Values afterAll;
  SketchRun run = RunSketch(
      ".35|.40|3|-.20",
      {DialogStep::Click(IDC_HORIZONTAL_DOWN), DialogStep::Run([&](HWND d) {
         SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
         openAfterCancel = IsWindow(d) && IsWindowVisible(d);
         PostMessageA(d, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
         PostMessageA(d, WM_KEYUP, VK_ESCAPE, 0xC0010001);
         SyncWithDialog(d);
         openAfterEscape = IsWindow(d) && IsWindowVisible(d);
         PostMessageA(d, WM_CLOSE, 0, 0);
         SyncWithDialog(d);
         openAfterClose = IsWindow(d) && IsWindowVisible(d);
         afterAll = Outgoing();
       })});
  EXPECT_TRUE(openAfterCancel);
  EXPECT_TRUE(openAfterEscape);
  EXPECT_TRUE(openAfterClose);
  EXPECT_EQ(".30|.40|3|-.20", Show(afterAll));
  EXPECT_EQ(".30|.40|3|-.20", run.call.result);
}

TEST_F(DialogTest, ResultIsBuiltFromTheSelectionsAtOk) {
  SketchRun run = RunSketch(".35|.40|3|-.20|Right eye",
                            {DialogStep::Select(IDC_HORIZONTAL, ".30")});
  EXPECT_EQ(".30|.40|3|-.20", run.call.result);
  EXPECT_EQ(".30|.40|3|-.20", Show(Outgoing()));
}

struct InnerCall {
  int32_t function;
  std::string param;
  std::string result;
};

// Makes `call` through the plug-in's entry, as CallFunction does, but with
// a record that outlives it: a plug-in that went on using it would then
// only be caught by the test, not crash it.
void CallWithLastingRecord(InnerCall *call) {
  static ExternCallRecord record;
  FMHandle parameter = HostNewHandle(0, "inner parameter");
  HostSetText(parameter, call->param.data(), int32_t(call->param.size()));
  FMHandle result = HostNewHandle(0, "inner result");
  memset(&record, 0, sizeof record);
  record.whichCall = kExternalCall;
  record.parm2 = call->function;
  record.parm3 = int32_t(reinterpret_cast<intptr_t>(parameter));
  record.result = int32_t(reinterpret_cast<intptr_t>(result));
  record.instanceID =
      int32_t(reinterpret_cast<intptr_t>(GetModuleHandleA(nullptr)));
  HostFillServices(&record);
  FMExternCallProc(&record);
  call->result = HostText(result);
  HostDisposeHandle(parameter);
  HostDisposeHandle(result);
}

const UINT kCallInside = WM_APP + 1;

// The host's window on the calling thread: the dialog's loop dispatches
// its messages, as it does the host's timers and menu commands.
LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                LPARAM lParam) {
  if (msg == kCallInside)
    CallWithLastingRecord(reinterpret_cast<InnerCall *>(lParam));
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND CreateHostWindow(DWORD style) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "OrbitraceTestHost";
  RegisterClassA(&wc); // fails harmlessly once registered
  return CreateWindowA("OrbitraceTestHost", "host", style, 100, 100, 600, 400,
                       nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

BOOL CALLBACK PressOkOnOtherDialogs(HWND hwnd, LPARAM outer) {
  char cls[16] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  if (hwnd != reinterpret_cast<HWND>(outer) && strcmp(cls, "#32770") == 0)
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_OK, BN_CLICKED), 0);
  return TRUE;
}

TEST_F(DialogTest, ACallInsideTheDialogLeavesItAlone) {
  const InnerCall calls[] = {
      {kDrawFunction, "1|1|1|1|Inner", "$$002$$"},
      {kVersionFunction, "", "Orbitrace v1.3"},
  };
  HWND host = CreateHostWindow(WS_OVERLAPPEDWINDOW); // hidden: not the owner
  ASSERT_NE(nullptr, host);
  for (const InnerCall &c : calls) {
    SCOPED_TRACE("function " + std::to_string(c.function));
    InnerCall inner = {c.function, c.param, ""};
    bool answered = false, sameDialog = false, sameRecord = false;
    Values during, incoming, afterReset;
    SketchRun run = RunSketch(
        ".35|.40|3|-.20",
        {DialogStep::Click(IDC_HORIZONTAL_DOWN), DialogStep::Run([&](HWND d) {
           ExternCallRecord *outer = gFMExternCallPtr;
           DWORD_PTR answer = 0;
           // A minute: an answer comes at once unless a second dialog
           // opened, and a busy machine must not look like one.
           answered = SendMessageTimeoutA(host, kCallInside, 0,
                                          reinterpret_cast<LPARAM>(&inner),
                                          SMTO_NORMAL, 60000, &answer) != 0;
           if (!answered) // a second dialog: end it, or the call never ends
             EnumThreadWindows(GetWindowThreadProcessId(d, nullptr),
                               PressOkOnOtherDialogs,
                               reinterpret_cast<LPARAM>(d));
           SyncWithDialog(d);
           sameRecord = gFMExternCallPtr == outer;
           sameDialog = ghwnd == d;
           during = Selections(d);
           incoming = {gXval, gYval, gPosition, gEdge};
         }),
         DialogStep::Reset(),
         DialogStep::Run([&](HWND d) { afterReset = Selections(d); })});
    EXPECT_TRUE(answered) << "the inner call did not return at once";
    EXPECT_EQ(c.result, inner.result);
    EXPECT_TRUE(sameRecord) << "the record of the call still running";
    EXPECT_TRUE(sameDialog) << "ghwnd";
    EXPECT_EQ(".30|.40|3|-.20", Show(during));
    EXPECT_EQ(".35|.40|3|-.20", Show(incoming)) << "the incoming values";
    EXPECT_EQ(".35|.40|3|-.20", Show(afterReset));
    EXPECT_EQ(".35|.40|3|-.20", run.call.result);
  }
  DestroyWindow(host);
}

struct OwnerCase {
  const char *what;
  bool hostWindow;
  bool active;            // the host's (or its popup's) window active
  int popups = 0;         // the active window a popup this deep
  bool minimized = false; // the host's window minimized
};

TEST_F(DialogTest, TheHostsWindowOwnsTheDialog) {
  const OwnerCase cases[] = {
      {"no window on the calling thread", false, false},
      {"the host's window active", true, true},
      {"the host's window in the background", true, false},
      // The host itself is disabled, not only its palette.
      {"a popup of the host's window active", true, true, 1},
      {"a popup of a popup of the host's window active", true, true, 2},
      // Not the owner, which would hide the dialog or centre it off the
      // screen; disabled all the same. Found each way the host is found.
      {"the host's window minimized", true, false, 0, true},
      {"the host's window minimized and active", true, true, 0, true},
      {"a popup of the minimized host's window active", true, true, 1, true},
  };
  for (const OwnerCase &c : cases) {
    SCOPED_TRACE(c.what);
    HWND host = nullptr, active = nullptr;
    if (c.hostWindow) {
      host = CreateHostWindow(WS_OVERLAPPEDWINDOW);
      ShowWindow(host, c.minimized ? SW_SHOWMINNOACTIVE
                       : c.active  ? SW_SHOW
                                   : SW_SHOWNOACTIVATE);
      active = host;
      for (int i = 0; i < c.popups; ++i)
        active = CreateWindowA("OrbitraceTestHost", "palette",
                               WS_POPUP | WS_CAPTION | WS_VISIBLE, 150 + 20 * i,
                               150, 200, 100, active, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
      SetActiveWindow(c.active ? active : nullptr);
    }
    ASSERT_EQ(c.active ? active : nullptr, GetActiveWindow())
        << "the active window before the call";
    HWND expected = c.minimized ? nullptr : host;
    HWND owner = reinterpret_cast<HWND>(1);
    bool hostEnabled = true, shown = false;
    RECT rcDlg = {}, rcDesk = {};
    RunSketch("1", {DialogStep::Run([&](HWND d) {
                owner = GetWindow(d, GW_OWNER);
                hostEnabled = host != nullptr && IsWindowEnabled(host);
                shown = IsWindowVisible(d) && !IsIconic(d);
                GetWindowRect(d, &rcDlg);
                GetWindowRect(GetDesktopWindow(), &rcDesk);
              })});
    EXPECT_EQ(expected, owner);
    EXPECT_TRUE(shown) << "the dialog is where the user sees it";
    EXPECT_TRUE(rcDlg.left >= rcDesk.left && rcDlg.top >= rcDesk.top &&
                rcDlg.right <= rcDesk.right && rcDlg.bottom <= rcDesk.bottom)
        << "dialog at (" << rcDlg.left << ", " << rcDlg.top << ")";
    if (host != nullptr) {
      EXPECT_FALSE(hostEnabled) << "the host is disabled while it is open";
      EXPECT_TRUE(IsWindowEnabled(host)) << "and enabled again after";
      DestroyWindow(host); // and the popups it owns
    }
  }
}

TEST_F(DialogTest, OnlyOkReturnsTheValues) {
  // WM_QUIT ends the modal loop (at shutdown, or posted by another
  // program); the dialog manager ends such a dialog as IDOK.
  bool quitPosted = false;
  SketchRun run =
      RunSketch(".35|.40|3|-.20", {DialogStep::Run([&](HWND d) {
                  quitPosted = PostMessageA(d, WM_QUIT, 0, 0);
                  // A minute only against a hang: a busy machine is slow.
                  for (int i = 0; i < 6000 && IsWindowVisible(d); ++i)
                    Sleep(10);
                })});
  MSG msg;
  // What the dialog's loop posts again for the host's own loop must not end
  // the next test's dialog.
  while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
    ;
  ASSERT_TRUE(quitPosted);
  EXPECT_EQ("$$002$$", run.call.result);
}

// EndDialog as Windows 95, 98 and ME may have it: their dialog manager is
// the 16-bit one, and the result may come back in 16 bits, sign-extended,
// or with whatever the high word held: nothing documents it.
decltype(&EndDialog) gEndDialog;
INT_PTR gHighWord;
BOOL WINAPI EndDialog16(HWND dialog, INT_PTR result) {
  const INT_PTR low = static_cast<int16_t>(result);
  return gEndDialog(dialog, gHighWord == 0 ? low : (low & 0xFFFF) | gHighWord);
}

TEST_F(DialogTest, OkReturnsTheValuesThroughA16BitDialogManager) {
  ImportPatch endDialog("user32.dll", "EndDialog",
                        reinterpret_cast<const void *>(EndDialog16));
  ASSERT_TRUE(endDialog.patched());
  gEndDialog = endDialog.original<decltype(&EndDialog)>();
  // Sign-extended, and a dirty high word.
  for (INT_PTR high : {INT_PTR(0), INT_PTR(0x5A5A0000)}) {
    SCOPED_TRACE("high word " + std::to_string(high >> 16));
    gHighWord = high;
    SketchRun run = RunSketch(".35|.40|3|-.20", {});
    EXPECT_EQ(".35|.40|3|-.20", run.call.result);
  }
  gHighWord = 0;
}

TEST_F(DialogTest, KeyboardsAndScreenReadersFindTheirWay) {
  // A screen reader names a box by the nearest static text before it in
  // window order.
  std::vector<std::string> boxes, buttons;
  std::vector<int> tabOrder;
  HWND focus = nullptr, box101 = nullptr, horizontal = nullptr;
  RunSketch(
      "1", {DialogStep::Run([&](HWND d) {
        horizontal = FindDialogControl(d, IDC_HORIZONTAL, "ComboBox");
        box101 = GetDlgItem(d, IDC_HORIZONTAL);
        for (int id : {IDC_HORIZONTAL, IDC_VERTICAL, IDC_LOCATION, IDC_RIM}) {
          HWND box = FindDialogControl(d, id, "ComboBox");
          std::string read;
          for (HWND w = GetWindow(box, GW_HWNDPREV); w;
               w = GetWindow(w, GW_HWNDPREV)) {
            char cls[16] = "", text[64] = "";
            GetClassNameA(w, cls, sizeof cls);
            GetWindowTextA(w, text, sizeof text);
            LONG type = GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK;
            if (lstrcmpiA(cls, "Static") == 0 && type <= SS_SIMPLE &&
                text[0] != '\0') {
              read = text;
              break;
            }
          }
          boxes.push_back(read);
        }
        for (int id : {IDC_HORIZONTAL_UP, IDC_HORIZONTAL_DOWN, IDC_VERTICAL_UP,
                       IDC_VERTICAL_DOWN, IDC_LOCATION_UP, IDC_LOCATION_DOWN,
                       IDC_RIM_UP, IDC_RIM_DOWN})
          buttons.push_back(ControlText(d, id));
        for (HWND w = GetNextDlgTabItem(d, nullptr, FALSE);
             w && tabOrder.size() < 10; w = GetNextDlgTabItem(d, w, FALSE)) {
          if (!tabOrder.empty() && w == GetNextDlgTabItem(d, nullptr, FALSE))
            break;
          tabOrder.push_back(GetDlgCtrlID(w));
        }
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(d, nullptr), &info);
        focus = info.hwndFocus;
      })});
  const char *const names[] = {"Horizontal", "Vertical", "Location", "Rim"};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(names[i], boxes[i]) << "the name read for box " << i;
  const char *const buttonNames[] = {
      "Horizontal up", "Horizontal down", "Vertical up", "Vertical down",
      "Location up",   "Location down",   "Rim up",      "Rim down"};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(buttonNames[i], buttons[i]) << "step button " << i;
  EXPECT_EQ(horizontal, box101) << "ID 101 still finds the Horizontal box";
  EXPECT_EQ(horizontal, focus) << "the keyboard focus";
  const std::vector<int> tabs = {IDC_HORIZONTAL, IDC_VERTICAL, IDC_LOCATION,
                                 IDC_RIM,        IDC_OK,       IDC_RESET};
  EXPECT_EQ(tabs, tabOrder) << "the tab order";
}

// --- Languages ---------------------------------------------------------------
// Each language runs in a process of its own, set as Wine sets it from the
// locale (by the test run; ORBT_LANGUAGE names the row), at every dpi;
// English runs with the others here.

struct LanguageRow {
  const char *name;     // ORBT_LANGUAGE
  WORD uiLanguage;      // what Windows reports
  UINT codePage;        // its ANSI code page
  WORD shown;           // the resources' language expected
  const wchar_t *reset; // the Reset button, written out
};

const LanguageRow kLanguageRows[] = {
    {"en", 0x0409, 1252, 0x0409, L"Reset"},
    {"de", 0x0407, 1252, 0x0407, L"Zurücksetzen"},
    {"fr", 0x040C, 1252, 0x040C, L"Réinitialiser"},
    {"it", 0x0410, 1252, 0x0410, L"Ripristina"},
    {"es", 0x0C0A, 1252, 0x0C0A, L"Restablecer"},
    {"nl", 0x0413, 1252, 0x0413, L"Herstellen"},
    {"sv", 0x041D, 1252, 0x041D, L"Återställ"},
    {"ja", 0x0411, 932, 0x0411, L"リセット"},
    // A Japanese user on a Western system: its code page cannot show the
    // texts.
    {"ja-on-en", 0x0411, 1252, 0x0409, L"Reset"},
};

LANGID UiLanguage() {
  typedef LANGID(WINAPI * Call)();
  auto call = reinterpret_cast<Call>(reinterpret_cast<void *>(GetProcAddress(
      GetModuleHandleA("kernel32.dll"), "GetUserDefaultUILanguage")));
  return call != nullptr ? call() : 0;
}

std::wstring WindowTextW(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

std::string Narrow(const std::wstring &text) {
  char out[1024] = "";
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, nullptr,
                      nullptr);
  return out;
}

// Where `control`'s text does not fit it as it is drawn (a static wraps at
// words, a push button keeps one line inside its edges): empty if it fits.
std::string Overflow(HWND control, bool button) {
  const std::wstring text = WindowTextW(control);
  RECT room = {};
  GetClientRect(control, &room);
  if (button) // the edges and the focus rectangle
    InflateRect(&room, -(GetSystemMetrics(SM_CXEDGE) + 1),
                -(GetSystemMetrics(SM_CYEDGE) + 1));
  const int width = room.right - room.left, height = room.bottom - room.top;
  RECT need = {0, 0, width, 0};
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(
      dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), -1, &need,
            DT_CALCRECT | (button ? DT_SINGLELINE : DT_WORDBREAK));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (need.right <= width && need.bottom <= height)
    return "";
  return "\"" + Narrow(text) + "\" needs " + std::to_string(need.right) +
         " x " + std::to_string(need.bottom) + " pixels, has " +
         std::to_string(width) + " x " + std::to_string(height);
}

// Fonts that Japanese Windows has in the Japanese character set from 95
// on (MS UI Gothic only from 98).
const wchar_t *const kJapaneseFaces[] = {L"ＭＳ Ｐゴシック", L"ＭＳ ゴシック",
                                         L"ＭＳ Ｐ明朝", L"ＭＳ 明朝"};

// The controls of `window` whose font cannot show Japanese, with what they
// have: a font whose charset is not Japanese, or which asks for a face
// that Japanese Windows lacks in that charset. Under Wine the charset
// alone proves little: for a face it lacks it gives a Japanese font, as it
// does for MS Sans Serif, where Windows 95 to NT 4.0 draw in MS Sans Serif
// and show no Japanese.
void WrongFonts(HWND window, std::vector<std::string> *out) {
  for (HWND c = GetWindow(window, GW_CHILD); c != nullptr;
       c = GetWindow(c, GW_HWNDNEXT)) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0));
    const std::string what = "control " + std::to_string(GetDlgCtrlID(c)) +
                             " \"" + Narrow(WindowTextW(c)) + "\": ";
    if (font == nullptr) {
      if (!WindowTextW(c).empty()) // a frame or the sketch area has none
        out->push_back(what + "no font of the dialog's");
      continue;
    }
    LOGFONTW asked = {};
    GetObjectW(font, sizeof asked, &asked);
    bool known = false;
    for (const wchar_t *face : kJapaneseFaces)
      known = known || wcscmp(face, asked.lfFaceName) == 0;
    HDC dc = GetDC(c);
    HGDIOBJ old = SelectObject(dc, font);
    const int charset = GetTextCharset(dc);
    SelectObject(dc, old);
    ReleaseDC(c, dc);
    if (charset != SHIFTJIS_CHARSET || !known)
      out->push_back(what + Narrow(asked.lfFaceName) + ", charset " +
                     std::to_string(charset));
  }
}

// A template of the plug-in's in `language`, made hidden on this thread to
// read its texts.
INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

HWND ReferenceDialog(UINT id, WORD language) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found =
      FindResourceExA(self, RT_DIALOG, MAKEINTRESOURCEA(id), language);
  if (found == nullptr)
    return nullptr;
  const BYTE *data =
      static_cast<const BYTE *>(LockResource(LoadResource(self, found)));
  std::vector<DWORD> copy((SizeofResource(self, found) + 3) / 4);
  memcpy(copy.data(), data, SizeofResource(self, found));
  copy[0] &= ~static_cast<DWORD>(WS_VISIBLE);
  return CreateDialogIndirectParamW(
      self, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), nullptr, Inert, 0);
}

// The plug-in's own string `id` in `language`, from its block.
std::wstring StringIn(UINT id, WORD language) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceExA(self, RT_STRING,
                                MAKEINTRESOURCEA(StringBlockId(id)), language);
  if (found == nullptr)
    return L"<no block>";
  const uint8_t *text = nullptr;
  size_t units = 0;
  if (!StringBlockEntry(
          static_cast<const uint8_t *>(LockResource(LoadResource(self, found))),
          SizeofResource(self, found), id % 16, &text, &units))
    return L"<short block>";
  std::wstring out;
  for (size_t i = 0; i < units; ++i)
    out.push_back(static_cast<wchar_t>(text[2 * i] | (text[2 * i + 1] << 8)));
  return out;
}

BOOL CALLBACK FindPrompt(HWND hwnd, LPARAM lParam) {
  HWND *found = reinterpret_cast<HWND *>(lParam);
  char cls[16] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  if (hwnd != *found && GetWindow(hwnd, GW_OWNER) == *found &&
      strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) {
    *found = hwnd;
    return FALSE;
  }
  return TRUE;
}

struct Seen {
  std::wstring shown, expected;
  std::string where;
};

TEST(DialogLanguageTest, TextsInTheLanguageOfWindowsThatFitTheirControls) {
  const char *env = getenv("ORBT_LANGUAGE");
  const std::string process = env != nullptr && *env != '\0' ? env : "en";
  int rows = 0;
  for (const LanguageRow &row : kLanguageRows) {
    if (process != row.name)
      continue;
    ++rows;
    SCOPED_TRACE(row.name);
    HostReset();
    ASSERT_EQ(row.uiLanguage & 0x3FF, UiLanguage() & 0x3FF)
        << "the language Windows reports";
    ASSERT_EQ(row.codePage, GetACP()) << "the code page";
    const WORD strings = row.shown;
    std::vector<Seen> texts;
    std::vector<std::string> overflows, wrongFonts;
    auto compare = [&](HWND shown, HWND expected, const char *where) {
      texts.push_back({WindowTextW(shown), WindowTextW(expected), where});
    };
    // English is as it always was, and "Horizontal" does not quite fit its
    // label under Wine.
    auto fits = [&](HWND control, bool button) {
      if (row.shown == 0x0409)
        return;
      const std::string o = Overflow(control, button);
      if (!o.empty())
        overflows.push_back(o);
    };
    HWND clipboardOwner = nullptr;
    bool held = false, prompted = false;
    SketchRun run = RunSketch(
        ".35|.40|3|-.20",
        {DialogStep::Run([&](HWND d) {
           HWND ref = ReferenceDialog(IDD_SKETCH, row.shown);
           ASSERT_NE(nullptr, ref) << "no template 4009 in the language";
           const struct {
             int box, id, own;
           } labels[] = {
               {IDC_HORIZONTAL, IDC_HORIZONTAL_LABEL, IDC_HORIZONTAL_LABEL_OWN},
               {IDC_VERTICAL, IDC_VERTICAL_LABEL, IDC_VERTICAL_LABEL},
               {IDC_LOCATION, IDC_LOCATION_LABEL, IDC_LOCATION_LABEL},
               {IDC_RIM, IDC_RIM_LABEL, IDC_RIM_LABEL}};
           for (const auto &l : labels) {
             HWND label = FindDialogControl(d, l.own, "Static");
             compare(label, FindDialogControl(ref, l.id, "Static"), "label");
             fits(label, false);
           }
           for (int id : {IDC_OK, IDC_RESET}) {
             HWND button = FindDialogControl(d, id, "Button");
             compare(button, FindDialogControl(ref, id, "Button"), "button");
             fits(button, true);
           }
           texts.push_back(
               {WindowTextW(FindDialogControl(d, IDC_RESET, "Button")),
                row.reset, "Reset, written out"});
           DestroyWindow(ref);
           if (row.shown == 0x0411)
             WrongFonts(d, &wrongFonts);
           // What screen readers read: the step buttons' names, and each
           // box's label before it.
           for (const StepButtonName &s : kStepButtonNames)
             texts.push_back({WindowTextW(GetDlgItem(d, s.button)),
                              StringIn(s.name, strings), "step button's name"});
           for (const auto &l : labels) {
             HWND read = GetWindow(FindDialogControl(d, l.box, "ComboBox"),
                                   GW_HWNDPREV);
             while (read != nullptr && WindowTextW(read).empty())
               read = GetWindow(read, GW_HWNDPREV);
             texts.push_back(
                 {WindowTextW(read),
                  WindowTextW(FindDialogControl(d, l.own, "Static")),
                  "the name read for a box"});
           }
           // The prompt, with the clipboard held here so that OK cannot
           // store the picture.
           clipboardOwner =
               CreateWindowA("STATIC", "holder", WS_POPUP, 0, 0, 1, 1, nullptr,
                             nullptr, nullptr, nullptr);
           held = OpenClipboard(clipboardOwner) != 0;
         }),
         DialogStep::PostClick(IDC_OK), DialogStep::Run([&](HWND d) {
           HWND prompt = d;
           // Two minutes only against a hang: a busy machine is slow.
           for (int i = 0; i < 12000 && prompt == d; ++i) {
             EnumThreadWindows(GetWindowThreadProcessId(d, nullptr), FindPrompt,
                               reinterpret_cast<LPARAM>(&prompt));
             if (prompt == d)
               Sleep(10);
           }
           if (held)
             CloseClipboard();
           DestroyWindow(clipboardOwner);
           ASSERT_NE(d, prompt) << "no prompt";
           prompted = true;
           HWND ref = ReferenceDialog(IDD_PICTURE_PROMPT, row.shown);
           ASSERT_NE(nullptr, ref) << "no template 4010 in the language";
           compare(prompt, ref, "prompt's caption");
           for (int id : {IDC_TRY_AGAIN, IDC_CLOSE_WITHOUT_STORING}) {
             HWND button = GetDlgItem(prompt, id);
             compare(button, GetDlgItem(ref, id), "prompt's button");
             fits(button, true);
           }
           DestroyWindow(ref);
           if (row.shown == 0x0411)
             WrongFonts(prompt, &wrongFonts);
           HWND text = GetDlgItem(prompt, IDC_PROMPT_TEXT);
           texts.push_back({WindowTextW(text),
                            StringIn(IDS_CLIPBOARD_BUSY, strings), "prompt"});
           fits(text, false);
           // Also the other reason's text, in the same control.
           SetWindowTextW(text,
                          StringIn(IDS_PICTURE_NOT_DRAWN, strings).c_str());
           fits(text, false);
         }),
         DialogStep::Answer(IDC_CLOSE_WITHOUT_STORING)});
    EXPECT_TRUE(held) << "the clipboard could not be held";
    EXPECT_TRUE(prompted);
    EXPECT_EQ("$$002$$", run.call.result);
    for (const Seen &t : texts)
      EXPECT_EQ(Narrow(t.expected), Narrow(t.shown)) << t.where;
    EXPECT_EQ(std::vector<std::string>(), overflows) << "texts that overflow";
    EXPECT_EQ(std::vector<std::string>(), wrongFonts)
        << "controls whose font cannot show Japanese";
    if (row.codePage == 932) {
      // Typed on a Japanese system: "ポ" is 83 7C, a full-width minus 81 7C.
      std::wstring caption;
      SketchRun typed = RunSketch(
          ".35|.40|3|\x81\x7C\x81\x44\x82\x51\x82\x4F|"
          "\x83\x7C\x83\x58\x83\x67",
          {DialogStep::Run([&](HWND d) { caption = WindowTextW(d); })});
      EXPECT_EQ(".35|.40|3|-.20", typed.call.result);
      EXPECT_EQ(Narrow(L"ポスト"), Narrow(caption)) << "the title";
    }
  }
  EXPECT_GT(rows, 0) << "no row for ORBT_LANGUAGE=" << process;
}

// Each of the plug-in's own strings, English and every translation, in the
// code page it is shown in, fits the buffer it is read into with a quarter
// of it to spare: one that does not convert is shown in English instead.
TEST(Translations, EachFitsItsBufferInItsCodePage) {
  std::vector<Translation> languages(kTranslations,
                                     kTranslations + kTranslationCount);
  languages.push_back({0x09, 0x0409, 1252});
  for (const Translation &t : languages) {
    std::vector<std::pair<UINT, int>> strings = {
        {IDS_CLIPBOARD_BUSY, kPromptTextSize},
        {IDS_PICTURE_NOT_DRAWN, kPromptTextSize}};
    for (const StepButtonName &s : kStepButtonNames)
      strings.push_back({s.name, kStepNameSize});
    for (const auto &string : strings) {
      const std::wstring text = StringIn(string.first, t.language);
      char out[kPromptTextSize];
      BOOL lacking = FALSE;
      const int room = string.second * 3 / 4 - 1;
      const int bytes = WideCharToMultiByte(t.codePage, 0, text.c_str(),
                                            static_cast<int>(text.size()), out,
                                            room, nullptr, &lacking);
      EXPECT_TRUE(!text.empty() && text[0] != L'<' && bytes > 0 && !lacking)
          << "string " << string.first << " in language " << std::hex
          << std::showbase << t.language << std::dec << ", code page "
          << t.codePage << ": \"" << Narrow(text) << "\" in " << room
          << " bytes"
          << (lacking ? ", with characters the code page lacks" : "");
    }
  }
}

// A procedure set over the sketch area's after the dialog's own (an
// assistive tool's) stays in place until the window is gone.
WNDPROC gBelowTool;
bool gToolStillSet;

LRESULT CALLBACK ToolProc(HWND w, UINT m, WPARAM wParam, LPARAM lParam) {
  LRESULT r = CallWindowProcA(gBelowTool, w, m, wParam, lParam);
  if (m == WM_NCDESTROY)
    gToolStillSet = GetWindowLongPtrA(w, GWLP_WNDPROC) ==
                    reinterpret_cast<LONG_PTR>(ToolProc);
  return r;
}

TEST_F(DialogTest, SketchAreaKeepsAProcedureSetOverItsOwn) {
  gToolStillSet = false;
  gBelowTool = nullptr;
  RunSketch("1", {DialogStep::Run([](HWND d) {
              gBelowTool = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                  GetDlgItem(d, IDC_SKETCH_AREA), GWLP_WNDPROC,
                  reinterpret_cast<LONG_PTR>(ToolProc)));
            })});
  ASSERT_NE(nullptr, gBelowTool);
  EXPECT_TRUE(gToolStillSet)
      << "the dialog put the static's procedure back over the tool's";
}

// A step click that reaches the dialog while OK is ending it (here from a
// hook, as EndDialog hides it) changes nothing: OK is the last command.
HWND gEndingDialog;
bool gClickedWhileEnding;

LRESULT CALLBACK ClickWhileEnding(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT *m = reinterpret_cast<const CWPSTRUCT *>(lParam);
  if (code == HC_ACTION && m->hwnd == gEndingDialog &&
      m->message == WM_WINDOWPOSCHANGING && !gClickedWhileEnding &&
      (reinterpret_cast<const WINDOWPOS *>(m->lParam)->flags &
       SWP_HIDEWINDOW)) {
    gClickedWhileEnding = true;
    SendMessageA(
        m->hwnd, WM_COMMAND, MAKEWPARAM(IDC_HORIZONTAL_DOWN, BN_CLICKED),
        reinterpret_cast<LPARAM>(GetDlgItem(m->hwnd, IDC_HORIZONTAL_DOWN)));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(DialogTest, OkIsTheLastCommandItHandles) {
  HHOOK hook = nullptr;
  gClickedWhileEnding = false;
  SketchRun run = RunSketch(".35|.40|3|-.20", {DialogStep::Run([&](HWND d) {
                              gEndingDialog = d;
                              hook = SetWindowsHookExA(
                                  WH_CALLWNDPROC, ClickWhileEnding, nullptr,
                                  GetWindowThreadProcessId(d, nullptr));
                            })});
  ASSERT_NE(nullptr, hook);
  UnhookWindowsHookEx(hook);
  ASSERT_TRUE(gClickedWhileEnding) << "the dialog was never hidden by OK";
  EXPECT_EQ(".35|.40|3|-.20", run.call.result);
  EXPECT_EQ(".35|.40|3|-.20", Show(Outgoing()));
}

} // namespace
