// Checks the stand-in host's dialog script on a small dialog of its own: the
// steps reach the dialog as a person's input would, and a run that did not
// go as expected says so, since every dialog test relies on it.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stand-in-host/dialog_script.h"

namespace {

// A small dialog: a combo box 101 with three items and an OK button behind
// a static that shares its ID (120), as in the plug-in's template.
std::vector<WORD> DialogTemplate() {
  std::vector<WORD> t;
  auto dword = [&t](DWORD v) {
    t.push_back(LOWORD(v));
    t.push_back(HIWORD(v));
  };
  auto align = [&t] {
    if (t.size() % 2)
      t.push_back(0);
  };
  dword(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME);
  dword(0);
  t.push_back(3);
  for (WORD v : {10, 10, 150, 80})
    t.push_back(v);
  t.insert(t.end(), {0, 0, 0}); // no menu, default class, no title
  auto item = [&](DWORD style, short x, short y, short w, short h, WORD id,
                  WORD atom) {
    align();
    dword(style | WS_CHILD | WS_VISIBLE);
    dword(0);
    t.insert(t.end(), {WORD(x), WORD(y), WORD(w), WORD(h), id, 0xFFFF, atom});
    t.push_back(0); // no text
    t.push_back(0); // no creation data
  };
  item(CBS_DROPDOWNLIST | WS_VSCROLL, 5, 5, 60, 60, 101, 0x0085);
  item(SS_ETCHEDFRAME, 0, 0, 140, 40, IDC_OK, 0x0082);
  item(BS_PUSHBUTTON, 5, 50, 50, 14, IDC_OK, 0x0080);
  return t;
}

struct DialogLog {
  std::vector<std::string> events;
};
DialogLog gLog;

INT_PTR CALLBACK LoggingProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    for (const char *s : {"a", "bb", "b"})
      SendDlgItemMessageA(dlg, 101, CB_ADDSTRING, 0, LPARAM(s));
    SendDlgItemMessageA(dlg, 101, CB_SETCURSEL, 0, 0);
    return TRUE;
  }
  if (msg == WM_COMMAND) {
    // Focus notifications come and go with the window manager; only
    // choices and clicks are what the script must produce.
    const bool combo = LOWORD(wp) == 101;
    if (HIWORD(wp) != (combo ? CBN_SELCHANGE : BN_CLICKED))
      return TRUE;
    char cls[32] = "";
    if (lp)
      GetClassNameA(HWND(lp), cls, sizeof cls);
    gLog.events.push_back(std::to_string(LOWORD(wp)) + "/" +
                          std::to_string(HIWORD(wp)) + "/" + cls);
    if (LOWORD(wp) == IDC_OK)
      EndDialog(dlg, 1);
    return TRUE;
  }
  if (msg == WM_CHAR) {
    gLog.events.push_back(std::string("char ") + char(wp));
    return TRUE;
  }
  return FALSE;
}

void RunDialog() {
  std::vector<WORD> t = DialogTemplate();
  DialogBoxIndirectParamA(GetModuleHandleA(nullptr),
                          reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), nullptr,
                          LoggingProc, 0);
}

TEST(DialogScript, StepsReachTheDialogAsRealInputWould) {
  gLog.events.clear();
  std::string chosen;
  DialogScript script;
  script.steps = {DialogStep::Select(101, "b"),
                  DialogStep::Run([&chosen](HWND dlg) {
                    char text[16] = "";
                    GetDlgItemTextA(dlg, 101, text, sizeof text);
                    chosen = text;
                  }),
                  DialogStep::Char('q')};
  DialogOutcome out = RunWithDialogScript(script, RunDialog);
  EXPECT_TRUE(out.dialogSeen);
  EXPECT_TRUE(out.stepsDone);
  EXPECT_TRUE(out.ok()) << out.error;
  EXPECT_EQ("b", chosen); // the exact item, not the first prefix match
  // Selection, character, then the OK button itself (not the frame that
  // shares its ID), pressed once after the last step.
  const std::vector<std::string> expected = {"101/1/ComboBox", "char q",
                                             "120/0/Button"};
  EXPECT_EQ(expected, gLog.events);
}

TEST(DialogScript, ExplicitOkIsNotPressedTwice) {
  gLog.events.clear();
  DialogScript script;
  script.steps = {DialogStep::Ok()};
  DialogOutcome out = RunWithDialogScript(script, RunDialog);
  EXPECT_TRUE(out.ok());
  EXPECT_EQ(std::vector<std::string>{"120/0/Button"}, gLog.events);
}

TEST(DialogScript, MissingItemFailsTheScriptButEndsTheDialog) {
  gLog.events.clear();
  DialogScript script;
  script.steps = {DialogStep::Select(101, "zz"), DialogStep::Char('x')};
  DialogOutcome out = RunWithDialogScript(script, RunDialog);
  EXPECT_FALSE(out.ok());
  EXPECT_FALSE(out.stepsDone);
  EXPECT_NE(std::string::npos, out.error.find("zz"));
  EXPECT_EQ(std::vector<std::string>{"120/0/Button"}, gLog.events);
}

TEST(DialogScript, SaysWhatDidNotGoAsExpected) {
  struct Case {
    const char *what;
    bool expectDialog, showDialog;
    std::vector<DialogStep> steps;
    const char *error; // empty: ok()
  };
  const Case cases[] = {
      {"no dialog where one is expected",
       true,
       false,
       {DialogStep::Ok()},
       "no dialog appeared"},
      {"no dialog, as expected", false, false, {}, ""},
      {"a dialog where none is expected",
       false,
       true,
       {},
       "a dialog appeared where none was expected"},
      {"a step after the dialog ended",
       true,
       true,
       {DialogStep::Ok(), DialogStep::Char('x')},
       "only 1 of 2 steps ran"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    gLog.events.clear();
    DialogScript script;
    script.expectDialog = c.expectDialog;
    script.steps = c.steps;
    bool called = false;
    DialogOutcome out = RunWithDialogScript(script, [&] {
      called = true;
      if (c.showDialog)
        RunDialog();
    });
    EXPECT_TRUE(called);
    EXPECT_EQ(c.showDialog, out.dialogSeen);
    EXPECT_FALSE(out.timedOut);
    EXPECT_EQ(c.error, out.error);
    EXPECT_EQ(c.error[0] == '\0', out.ok());
  }
}

} // namespace
