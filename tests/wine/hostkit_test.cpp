// Checks the stand-in host itself: a harness that forgives what the real
// host would not, or reports faults that are not there, would mislead every
// test built on it.
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stand-in-host/clipboard_picture.h"
#include "stand-in-host/dialog_script.h"
#include "stand-in-host/host_memory.h"
#include "stand-in-host/plugin_host.h"

namespace {

class HostMemory : public ::testing::Test {
protected:
  void SetUp() override { HostReset(); }
  void TearDown() override { HostReset(); }

  static std::string Report() {
    std::string report;
    HostCheckIntegrity(&report);
    return report;
  }
};

bool AllBytes(const char *p, int n, unsigned char value) {
  for (int i = 0; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) != value)
      return false;
  return true;
}

TEST_F(HostMemory, ResizeMovesTheDataAndPoisonsTheOldPlace) {
  FMHandle h = HostNewHandle(0, "result");
  HostSetText(h, "hello");
  char *old = *h;

  HostServiceSetHandleSize(h, 8);

  EXPECT_NE(old, *h);
  EXPECT_EQ(8, HostServiceGetHandleSize(h));
  EXPECT_EQ(0, memcmp(*h, "hello", 5));
  EXPECT_TRUE(AllBytes(old, 5, kHostPoisonByte));
  EXPECT_EQ(kHostNoErr, HostServiceMemoryError());
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, ShrinkKeepsTheLeadingBytes) {
  FMHandle h = HostNewHandle(0);
  HostSetText(h, "abcdef");
  HostServiceSetHandleSize(h, 2);
  EXPECT_EQ("ab", HostText(h));
  EXPECT_EQ(2, HostHandleSize(h));
}

TEST_F(HostMemory, MoveHHiMovesTheBlockToo) {
  FMHandle h = HostNewHandle(0);
  HostSetText(h, "xyz");
  char *old = *h;
  HostServiceMoveHHi(h);
  EXPECT_NE(old, *h);
  EXPECT_EQ("xyz", HostText(h));
  EXPECT_TRUE(AllBytes(old, 3, kHostPoisonByte));
}

TEST_F(HostMemory, WritingUpToTheEndIsNotAFault) {
  FMHandle h = HostNewHandle(0, "result");
  HostServiceSetHandleSize(h, 3);
  memcpy(*h, "abc", 3);
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, WritePastTheEndIsReported) {
  FMHandle h = HostNewHandle(0, "result");
  HostServiceSetHandleSize(h, 3);
  memcpy(*h, "abc", 4); // the terminator a text must not carry

  std::string report;
  EXPECT_FALSE(HostCheckIntegrity(&report));
  EXPECT_NE(std::string::npos, report.find("result handle"));
  EXPECT_NE(std::string::npos, report.find("past its end"));
}

TEST_F(HostMemory, WriteThroughAStalePointerIsReported) {
  FMHandle h = HostNewHandle(0, "result");
  HostServiceSetHandleSize(h, 3);
  char *stale = *h;
  HostServiceSetHandleSize(h, 5);
  // A stale pointer reads poison, not the text that moved away.
  EXPECT_EQ(static_cast<char>(kHostPoisonByte), stale[0]);
  stale[1] = 'Z';

  std::string report;
  EXPECT_FALSE(HostCheckIntegrity(&report));
  EXPECT_NE(std::string::npos, report.find("stale pointer"));
}

TEST_F(HostMemory, FindingsOutliveTheDisposedHandleUntilReset) {
  FMHandle h = HostNewHandle(0);
  HostServiceSetHandleSize(h, 1);
  (*h)[1] = 'X';
  HostDisposeHandle(h);
  EXPECT_FALSE(HostCheckIntegrity(nullptr));
  HostReset();
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, UnknownHandleIsReportedNotFollowed) {
  char *data = nullptr;
  FMHandle bogus = &data;
  HostServiceSetHandleSize(bogus, 4);
  EXPECT_EQ(kHostNilHandleErr, HostServiceMemoryError());
  EXPECT_EQ(nullptr, data);
  std::string report;
  EXPECT_FALSE(HostCheckIntegrity(&report));
  EXPECT_NE(std::string::npos, report.find("unknown handle"));
}

TEST_F(HostMemory, InjectedResizeFailureHitsExactlyTheNthResize) {
  FMHandle h = HostNewHandle(0);
  HostSetText(h, "keep");
  HostArmResizeFailure(2);

  HostServiceSetHandleSize(h, 6);
  EXPECT_EQ(kHostNoErr, HostServiceMemoryError());
  memcpy(*h, "keepme", 6);
  char *before = *h;

  HostServiceSetHandleSize(h, 20);
  EXPECT_EQ(kHostMemFullErr, HostServiceMemoryError());
  // The failed resize leaves size, contents and place as they were.
  EXPECT_EQ(6, HostHandleSize(h));
  EXPECT_EQ("keepme", HostText(h));
  EXPECT_EQ(before, *h);

  HostServiceSetHandleSize(h, 3);
  EXPECT_EQ(kHostNoErr, HostServiceMemoryError());
  EXPECT_EQ("kee", HostText(h));

  const HostCallCounts counts = HostCounts();
  EXPECT_EQ(3, counts.resizes);
  EXPECT_EQ(1, counts.failedResizes);
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, ResizeInjectionCountsFromArming) {
  FMHandle h = HostNewHandle(0);
  HostServiceSetHandleSize(h, 1);
  HostServiceSetHandleSize(h, 2);
  HostArmResizeFailure(1);
  HostServiceSetHandleSize(h, 3);
  EXPECT_EQ(kHostMemFullErr, HostServiceMemoryError());
  EXPECT_EQ(2, HostHandleSize(h));
}

TEST_F(HostMemory, InjectedLockFailureHitsExactlyTheNthLock) {
  FMHandle h = HostNewHandle(4);
  HostArmLockFailure(3);
  for (int i = 1; i <= 4; ++i) {
    HostServiceLockHandle(h);
    EXPECT_EQ(i == 3 ? kHostMemFullErr : kHostNoErr, HostServiceMemoryError())
        << "lock " << i;
    HostServiceUnlockHandle(h);
  }
  EXPECT_EQ(1, HostCounts().failedLocks);
  // Unlocking after a failed lock is what callers do; it balances.
  EXPECT_EQ(0, HostLockBalance(h));
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(HostMemory, LockWithoutUnlockIsReported) {
  FMHandle h = HostNewHandle(4, "parameter");
  HostServiceLockHandle(h);
  EXPECT_EQ(1, HostLockBalance(h));
  std::string report;
  EXPECT_FALSE(HostCheckIntegrity(&report));
  EXPECT_NE(std::string::npos, report.find("parameter handle"));
  EXPECT_NE(std::string::npos, report.find("lock balance +1"));
}

TEST_F(HostMemory, MemoryErrorClearsOnTheNextGoodResize) {
  FMHandle h = HostNewHandle(0);
  HostArmResizeFailure(1);
  HostServiceSetHandleSize(h, 4);
  ASSERT_EQ(kHostMemFullErr, HostServiceMemoryError());
  HostServiceSetHandleSize(h, 4);
  EXPECT_EQ(kHostNoErr, HostServiceMemoryError());
}

TEST_F(HostMemory, PointerOverrunIsReportedOnDispose) {
  char *p = HostServiceNewPointer(4);
  ASSERT_NE(nullptr, p);
  p[4] = 1;
  HostServiceDisposePointer(p);
  EXPECT_FALSE(HostCheckIntegrity(nullptr));
}

TEST_F(HostMemory, ServicesAreAllFilledIn) {
  ExternCallRecord record;
  memset(&record, 0, sizeof record);
  HostFillServices(&record);
  FMHandle h = record.cNewHandle(2);
  ASSERT_NE(nullptr, h);
  record.cSetHandleSize(h, 5);
  EXPECT_EQ(5, record.cGetHandleSize(h));
  EXPECT_EQ(0, record.cMemoryError());
  const HostCallCounts counts = HostCounts();
  EXPECT_EQ(1, counts.newHandles);
  EXPECT_EQ(1, counts.resizes);
  EXPECT_EQ(1, counts.sizeQueries);
  EXPECT_EQ(1, counts.errorQueries);
}

// A plug-in entry compiled into the test, so the record the host builds
// can be inspected without a library.
ExternCallRecord gSeen;
std::string gSeenParameter;

void __cdecl RecordingEntry(ExternCallRecord *pb) {
  gSeen = *pb;
  if (pb->whichCall == kInitialise) {
    pb->result = 4;
    return;
  }
  FMHandle parameter = reinterpret_cast<FMHandle>(intptr_t(pb->parm3));
  gSeenParameter.assign(*parameter, size_t(pb->cGetHandleSize(parameter)));
  FMHandle result = reinterpret_cast<FMHandle>(intptr_t(pb->result));
  if (pb->parm2 == 1) { // answers with its parameter
    pb->cSetHandleSize(result, int32_t(gSeenParameter.size()));
    if (pb->cMemoryError() == 0)
      memcpy(*result, gSeenParameter.data(), gSeenParameter.size());
  } else if (pb->parm2 == 9) { // misbehaves: scribbles on the record
    pb->unused = 1;
  }
}

class PluginHost : public HostMemory {
protected:
  LoadedPlugin plugin_;
  void SetUp() override {
    HostMemory::SetUp();
    plugin_.module = GetModuleHandleA(nullptr);
    plugin_.entry = RecordingEntry;
  }
};

TEST_F(PluginHost, InitialisationReturnsTheAnswer) {
  bool written = false;
  EXPECT_EQ(4, SendInit(plugin_, 33, &written));
  EXPECT_TRUE(written);
  EXPECT_EQ(kInitialise, gSeen.whichCall);
  EXPECT_EQ(33, gSeen.extnVersion);
}

TEST_F(PluginHost, CallPassesIdParameterAndInstance) {
  const std::string param("a\0b|c", 5);
  CallOutcome out = CallFunction(plugin_, 1, param);
  EXPECT_EQ(kExternalCall, gSeen.whichCall);
  EXPECT_EQ(1, gSeen.parm2);
  EXPECT_EQ(param, gSeenParameter);
  EXPECT_EQ(intptr_t(plugin_.module), intptr_t(gSeen.instanceID));
  EXPECT_TRUE(out.written);
  EXPECT_EQ(param, out.result);
  EXPECT_TRUE(out.changedRecordBytes.empty());
  EXPECT_TRUE(HostCheckIntegrity(nullptr)) << Report();
}

TEST_F(PluginHost, ResultNotWrittenIsToldApart) {
  CallOutcome out = CallFunction(plugin_, 3, "x");
  EXPECT_FALSE(out.written);
  EXPECT_EQ(kUntouchedResult, out.result);
}

TEST_F(PluginHost, FailedResizeLeavesTheResultUntouched) {
  HostArmResizeFailure(1);
  CallOutcome out = CallFunction(plugin_, 1, "abc");
  EXPECT_FALSE(out.written);
}

TEST_F(PluginHost, InstanceOverrideIsPassed) {
  CallOptions options;
  options.instance = reinterpret_cast<HMODULE>(0x12340000);
  CallFunction(plugin_, 1, "x", options);
  EXPECT_EQ(0x12340000, gSeen.instanceID);
}

TEST_F(PluginHost, RecordChangesAreReported) {
  CallOutcome out = CallFunction(plugin_, 9, "x");
  ASSERT_FALSE(out.changedRecordBytes.empty());
  EXPECT_EQ(int(offsetof(ExternCallRecord, unused)),
            out.changedRecordBytes.front());
}

// Pixels: a 24-bit DIB is stored bottom row first.
TEST(DibToRgb, TwentyFourBitRowsComeOutTopDown) {
  std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + 2 * 8, 0);
  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = 2;
  h.biHeight = 2;
  h.biPlanes = 1;
  h.biBitCount = 24;
  memcpy(dib.data(), &h, sizeof h);
  uint8_t *px = dib.data() + sizeof h;
  px[2] = 255;     // bottom-left red (stored blue, green, red)
  px[8 + 3] = 255; // top-right blue
  DibImage image;
  std::string error;
  ASSERT_TRUE(DibToRgb(dib.data(), dib.size(), &image, &error)) << error;
  ASSERT_EQ(2, image.width);
  ASSERT_EQ(2, image.height);
  const uint8_t topRight[3] = {0, 0, 255}, bottomLeft[3] = {255, 0, 0};
  EXPECT_EQ(0, memcmp(&image.rgb[3], topRight, 3));
  EXPECT_EQ(0, memcmp(&image.rgb[6], bottomLeft, 3));
  EXPECT_EQ(sizeof h, DibPixelOffset(dib.data(), dib.size()));
}

TEST(DibToRgb, FourBitPixelsGoThroughTheColourTable) {
  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = 3;
  h.biHeight = -1; // top-down
  h.biPlanes = 1;
  h.biBitCount = 4;
  std::vector<uint8_t> dib(sizeof h + 16 * 4 + 4, 0);
  memcpy(dib.data(), &h, sizeof h);
  uint8_t *table = dib.data() + sizeof h;
  table[1 * 4 + 2] = 200;    // entry 1: red 200
  table[15 * 4 + 1] = 100;   // entry 15: green 100
  dib[sizeof h + 64] = 0x1F; // pixels 1, 15
  dib[sizeof h + 65] = 0x10; // pixel 1
  DibImage image;
  std::string error;
  ASSERT_TRUE(DibToRgb(dib.data(), dib.size(), &image, &error)) << error;
  EXPECT_EQ(sizeof h + 64, DibPixelOffset(dib.data(), dib.size()));
  const uint8_t expected[9] = {200, 0, 0, 0, 100, 0, 200, 0, 0};
  ASSERT_EQ(9u, image.rgb.size());
  EXPECT_EQ(0, memcmp(image.rgb.data(), expected, 9));
}

TEST(DibToRgb, ShortBlockIsRefused) {
  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = 4;
  h.biHeight = 4;
  h.biPlanes = 1;
  h.biBitCount = 24;
  std::vector<uint8_t> dib(sizeof h + 40, 0); // 48 bytes of pixels needed
  memcpy(dib.data(), &h, sizeof h);
  DibImage image;
  std::string error;
  EXPECT_FALSE(DibToRgb(dib.data(), dib.size(), &image, &error));
  EXPECT_FALSE(error.empty());
}

// A small dialog: a combo box 101 with three items and an OK button 120
// behind a static that shares the ID, as in the plug-in's template.
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
  item(SS_ETCHEDFRAME, 0, 0, 140, 40, 120, 0x0082);
  item(BS_PUSHBUTTON, 5, 50, 50, 14, 120, 0x0080);
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
    if (LOWORD(wp) == 120)
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
