// The sketch dialog driven with real messages: set-up, the value lists and
// their selections, stepping, Reset, and the ways it does not close.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "sketch/sketch_state.h"
#include "stand-in-host/host_memory.h"
#include "tests/wine/sketch_harness.h"

namespace {

enum {
  kHorizontal = 101,
  kVertical = 109,
  kLocation = 114,
  kRim = 119,
  kHorizontalUp = 112,
  kHorizontalDown = 113,
  kVerticalUp = 107,
  kVerticalDown = 108,
  kLocationUp = 122,
  kLocationDown = 123,
  kRimUp = 117,
  kRimDown = 118,
};

struct Values {
  std::string x, y, hour, rim;
};

Values Selections(HWND dlg) {
  return {ControlText(dlg, kHorizontal), ControlText(dlg, kVertical),
          ControlText(dlg, kLocation), ControlText(dlg, kRim)};
}

Values Outgoing() { return {gXval2, gYval2, gPosition2, gEdge2}; }

std::string Show(const Values &v) {
  return v.x + "|" + v.y + "|" + v.hour + "|" + v.rim;
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
  SketchRun a =
      RunSketch(".35|.40|3|-.20|Right eye", {DialogStep::Run([&](HWND d) {
                  char text[256] = "";
                  GetWindowTextA(d, text, sizeof text);
                  withTitle = text;
                })});
  SketchRun b = RunSketch(".35|.40", {DialogStep::Run([&](HWND d) {
                            char text[256] = "x";
                            GetWindowTextA(d, text, sizeof text);
                            withoutTitle = text;
                          })});
  EXPECT_TRUE(a.dialog.ok()) << a.dialog.error;
  EXPECT_TRUE(b.dialog.ok()) << b.dialog.error;
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
  std::vector<std::string> h, v, hour, rim;
  std::string idClass;
  RunSketch("1", {DialogStep::Run([&](HWND d) {
              h = ComboItems(d, kHorizontal);
              v = ComboItems(d, kVertical);
              hour = ComboItems(d, kLocation);
              rim = ComboItems(d, kRim);
              char cls[64] = "";
              GetClassNameA(GetDlgItem(d, kHorizontal), cls, sizeof cls);
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
  EXPECT_EQ(hours, hour);
  EXPECT_EQ(rims, rim);
  EXPECT_EQ(40u, rim.size());
  EXPECT_STREQ("ComboBox", idClass.c_str())
      << "ID 101 must find the combo box, not the label that shares it";
}

struct SelectionCase {
  std::string param;
  Values expected;
};

TEST_F(DialogTest, OpeningSelectionsFollowThePrefixRule) {
  // A zero byte ends its field's text; later bars still split.
  const char zeroBytes[] = ".3\0"
                           "5|.4|1\0"
                           "0|-.2";
  const SelectionCase cases[] = {
      {".35|.40|3|-.10", {".35", ".40", "3", "-.10"}},
      {".5|.9|1|-.5", {".55", ".95", "1", "-.50"}},
      {"0|0|12|-", {"0", "0", "12", "-.05"}},
      {"0.5|1.0|07| .50", {"1", "1", "1", "1"}},
      {"||||Right eye", {"1", "1", "1", "1"}},
      {".35|.40", {".35", ".40", "1", "1"}},
      {"A|b|c|d|e|f", {"1", "1", "1", "1"}},
      {std::string(zeroBytes, sizeof zeroBytes - 1),
       {".35", ".45", "1", "-.20"}},
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
      {"1|1|1|1", kHorizontalUp, kHorizontal, 1, "1"},
      {"1|1|1|1", kHorizontalDown, kHorizontal, 1, ".95"},
      {"0|0|1|1", kHorizontalDown, kHorizontal, 1, "0"},
      {".50|0|1|1", kHorizontalUp, kHorizontal, 1, ".55"},
      {"1|0|1|1", kVerticalDown, kVertical, 1, "0"},
      {"1|1|1|1", kVerticalDown, kVertical, 20, "0"},
      {"1|1|1|1", kVerticalDown, kVertical, 25, "0"},
      {"1|.05|1|1", kVerticalUp, kVertical, 1, ".10"},
      {"1|1|1|1", kVerticalUp, kVertical, 3, "1"},
      {"1|1|1|0", kRimDown, kRim, 1, "-.05"},
      {"1|1|1|-.95", kRimDown, kRim, 1, "-.95"},
      {"1|1|1|1", kRimUp, kRim, 1, "1"},
      {"1|1|1|-.05", kRimUp, kRim, 1, "0"},
      {"1|1|1|1", kLocationUp, kLocation, 1, "12"},
      {"1|1|12|1", kLocationDown, kLocation, 1, "1"},
      {"1|1|6|1", kLocationUp, kLocation, 1, "5"},
      {"1|1|6|1", kLocationDown, kLocation, 1, "7"},
      {"1|1|11|1", kLocationDown, kLocation, 3, "2"},
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
    SketchRun run = RunSketch(c.param, steps);
    EXPECT_TRUE(run.dialog.ok()) << run.dialog.error;
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
                  d, WM_COMMAND, MAKEWPARAM(kHorizontalDown, 5),
                  reinterpret_cast<LPARAM>(GetDlgItem(d, kHorizontalDown)));
              after = ControlText(d, kHorizontal);
            })});
  EXPECT_EQ(".45", after);
}

TEST_F(DialogTest, ComboCommandsRefreshTheOutgoingValues) {
  Values saved;
  RunSketch(".35|.40|3|-.20",
            {DialogStep::Select(kVertical, ".75"),
             DialogStep::Select(kRim, "-.95"),
             DialogStep::Run([&](HWND) { saved = Outgoing(); })});
  EXPECT_EQ(".35|.75|3|-.95", Show(saved));
}

TEST_F(DialogTest, ResetReturnsToTheOpeningSelections) {
  Values opened, afterReset, savedAfterReset;
  std::string caption;
  RECT before = {}, after = {};
  SketchRun run = RunSketch(
      ".5|.9|11|-.5|Left eye",
      {DialogStep::Run([&](HWND d) {
         opened = Selections(d);
         GetWindowRect(d, &before);
       }),
       DialogStep::Click(kHorizontalDown), DialogStep::Click(kVerticalDown),
       DialogStep::Click(kLocationDown), DialogStep::Click(kLocationDown),
       DialogStep::Select(kRim, "1"), DialogStep::Reset(),
       DialogStep::Run([&](HWND d) {
         afterReset = Selections(d);
         savedAfterReset = Outgoing();
         GetWindowRect(d, &after);
         char text[256] = "";
         GetWindowTextA(d, text, sizeof text);
         caption = text;
       })});
  EXPECT_EQ(".55|.95|11|-.50", Show(opened));
  EXPECT_EQ(Show(opened), Show(afterReset));
  EXPECT_EQ(Show(opened), Show(savedAfterReset));
  EXPECT_EQ(".55|.95|11|-.50", run.call.result)
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
      {DialogStep::Click(kHorizontalDown), DialogStep::Run([&](HWND d) {
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
  EXPECT_TRUE(run.dialog.ok()) << "OK still ends it: " << run.dialog.error;
  EXPECT_EQ(".30|.40|3|-.20", run.call.result);
}

TEST_F(DialogTest, ResultIsBuiltFromTheSelectionsAtOk) {
  SketchRun run = RunSketch(".35|.40|3|-.20|Right eye",
                            {DialogStep::Select(kHorizontal, ".30")});
  EXPECT_EQ(".30|.40|3|-.20", run.call.result);
  EXPECT_EQ(".30|.40|3|-.20", Show(Outgoing()));
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
        m->hwnd, WM_COMMAND, MAKEWPARAM(kHorizontalDown, BN_CLICKED),
        reinterpret_cast<LPARAM>(GetDlgItem(m->hwnd, kHorizontalDown)));
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
