// The built plug-in as the host sees it: loaded from its file, called only
// through its one export, with the stand-in host's unforgiving memory.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "resources/orbitrace_res.h"
#include "stand-in-host/clipboard_picture.h"
#include "stand-in-host/dialog_script.h"
#include "stand-in-host/host_memory.h"
#include "stand-in-host/plugin_host.h"
#include "tests/unit/x87_words.h"
#include "tests/wine/clipboard_holder.h"
#include "tests/wine/import_patch.h"
#include "tests/wine/script_check.h"

namespace {

LoadedPlugin gPlugin;

class PluginEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    // Without the plug-in every test would only be skipped: stop here.
    gPlugin = LoadPluginOrExit();
  }
};

const auto *const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new PluginEnvironment);

class PluginTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(gPlugin.entry, nullptr) << "the plug-in did not load";
    HostReset();
  }
  void TearDown() override {
    std::string report;
    EXPECT_TRUE(HostCheckIntegrity(&report)) << report;
  }
};

// A record whose every byte is known, so any write to it shows.
ExternCallRecord PatternRecord(uint8_t whichCall) {
  ExternCallRecord record;
  unsigned char *bytes = reinterpret_cast<unsigned char *>(&record);
  for (size_t i = 0; i < sizeof record; ++i)
    bytes[i] = static_cast<unsigned char>(0xA0 + i);
  HostFillServices(&record);
  record.whichCall = whichCall;
  record.instanceID =
      static_cast<int32_t>(reinterpret_cast<intptr_t>(gPlugin.module));
  return record;
}

TEST_F(PluginTest, InitialisationAnswersFourWhateverTheVersion) {
  for (int16_t version : {int16_t(-32768), int16_t(-1), int16_t(0), int16_t(11),
                          int16_t(32767)}) {
    bool written = false;
    EXPECT_EQ(4, SendInit(gPlugin, version, &written))
        << "extnVersion " << version;
    EXPECT_TRUE(written) << "extnVersion " << version;
  }
}

TEST_F(PluginTest, InitialisationWritesOnlyTheResult) {
  ExternCallRecord record = PatternRecord(kInitialise);
  ExternCallRecord before = record;
  gPlugin.entry(&record);
  EXPECT_EQ(4, record.result);
  record.result = before.result;
  EXPECT_EQ(0, memcmp(&before, &record, sizeof record))
      << "bytes other than result changed";
}

TEST_F(PluginTest, OtherCallKindsLeaveTheRecordAlone) {
  for (int kind : {1, 2, 4, 5, 6, 255}) {
    ExternCallRecord record = PatternRecord(static_cast<uint8_t>(kind));
    ExternCallRecord before = record;
    gPlugin.entry(&record);
    const unsigned char *a = reinterpret_cast<const unsigned char *>(&before);
    const unsigned char *b = reinterpret_cast<const unsigned char *>(&record);
    for (size_t i = 0; i < sizeof record; ++i)
      EXPECT_EQ(a[i], b[i]) << "call kind " << kind << ", byte " << i;
  }
  HostCallCounts counts = HostCounts();
  EXPECT_EQ(0, counts.resizes + counts.sizeQueries + counts.locks)
      << "a notice the plug-in ignores must not touch any handle";
}

TEST_F(PluginTest, UnknownFunctionIdsTouchNeitherHandle) {
  for (int32_t id : {1, 3, -1, 146, 0x7fffffff}) {
    HostReset();
    CallOutcome outcome = CallFunction(gPlugin, id, std::string("a|b"));
    EXPECT_FALSE(outcome.written)
        << "function " << id << " wrote \"" << outcome.result << "\"";
    EXPECT_TRUE(outcome.changedRecordBytes.empty()) << "function " << id;
    HostCallCounts counts = HostCounts();
    EXPECT_EQ(0, counts.sizeQueries + counts.resizes + counts.locks)
        << "function " << id << " read or wrote a handle";
  }
}

TEST_F(PluginTest, VersionWritesExactlyItsText) {
  std::string longParameter(300, 'x');
  for (const std::string &param :
       {std::string(), std::string("anything"), longParameter}) {
    HostReset();
    CallOutcome outcome = CallFunction(gPlugin, 0, param);
    EXPECT_TRUE(outcome.written);
    EXPECT_EQ("Orbitrace v1.3", outcome.result)
        << "with a parameter of " << param.size() << " bytes";
    EXPECT_EQ(14u, outcome.result.size()) << "no terminator is written";
    EXPECT_TRUE(outcome.changedRecordBytes.empty());
    EXPECT_EQ(0, HostCounts().locks) << "the parameter is not read";
  }
}

TEST_F(PluginTest, VersionWritesNothingAfterAFailedResize) {
  HostArmResizeFailure(1);
  CallOutcome outcome = CallFunction(gPlugin, 0, std::string("x"));
  EXPECT_FALSE(outcome.written) << "got \"" << outcome.result << "\"";
  EXPECT_EQ(1, HostCounts().failedResizes);
}

TEST_F(PluginTest, FunctionsAreListedByName) {
  EXPECT_EQ(0, FindFunctionId(gPlugin.module, "ORBT_Version"));
  EXPECT_EQ(2, FindFunctionId(gPlugin.module, "ORBT_Draw"));
}

// --- The Draw call through the DLL -------------------------------------

struct DrawResult {
  CallOutcome call;
  DialogOutcome dialog;
};

// Whether a Draw call is to show its dialog: only refusals and faults do
// not, and say so.
enum Expected { kDialog, kNoDialog };

// A Draw call with `steps` applied in its dialog; the test fails at the
// caller's line unless the dialog showed as expected and every step ran.
DrawResult Draw(const std::string &param, std::vector<DialogStep> steps,
                Expected expected = kDialog,
                const CallOptions &options = CallOptions(),
                const char *file = __builtin_FILE(),
                int line = __builtin_LINE()) {
  DrawResult out;
  DialogScript script;
  script.steps = std::move(steps);
  script.timeoutMs = 20000;
  script.expectDialog = expected == kDialog;
  out.dialog = RunScriptedCall(
      script,
      [&] {
        out.call = CallFunction(gPlugin, kDrawFunction, param.data(),
                                static_cast<int32_t>(param.size()), options);
      },
      file, line);
  return out;
}

int CountBars(const std::string &text) {
  int bars = 0;
  for (char c : text)
    bars += c == '|';
  return bars;
}

TEST_F(PluginTest, DrawReturnsThePicksAsFourFields) {
  DrawResult r =
      Draw(".35|.40|3|-.20|Right eye",
           {DialogStep::Select(IDC_HORIZONTAL, ".30"), DialogStep::Ok()});
  EXPECT_EQ(".30|.40|3|-.20", r.call.result);
  EXPECT_EQ(14u, r.call.result.size());
  EXPECT_TRUE(r.call.changedRecordBytes.empty());
}

TEST_F(PluginTest, DrawResultAlwaysHasThreeBars) {
  for (const char *param : {"a", ".5", "|", "||||||||", "a|b|c|d|e|f",
                            "||||Right eye", ".35|.40"}) {
    SCOPED_TRACE(param);
    DrawResult r = Draw(param, {});
    EXPECT_EQ(3, CountBars(r.call.result))
        << "parameter \"" << param << "\" gave \"" << r.call.result << "\"";
  }
}

TEST_F(PluginTest, DrawResultFedBackOpensTheSameSelections) {
  DrawResult first =
      Draw(".5|.9|11|-.5", {DialogStep::Click(IDC_HORIZONTAL_DOWN)});
  ASSERT_EQ(".45|.90|11|-.50", first.call.result);
  DrawResult second = Draw(first.call.result, {});
  EXPECT_EQ(first.call.result, second.call.result);
}

TEST_F(PluginTest, DrawRejectsEmptyAndOverlongParameters) {
  for (size_t length : {size_t(0), size_t(256), size_t(1000)}) {
    SCOPED_TRACE(std::to_string(length) + " bytes");
    HostReset();
    DrawResult r = Draw(std::string(length, '1'), {}, kNoDialog);
    EXPECT_EQ("$$002$$", r.call.result);
  }
  DrawResult accepted = Draw(std::string(255, '1'), {});
  EXPECT_EQ("1|1|1|1", accepted.call.result);
}

TEST_F(PluginTest, DrawErrorTextIsNotWrittenWhenTheResizeFails) {
  HostArmResizeFailure(1);
  DrawResult r = Draw(std::string(), {}, kNoDialog);
  EXPECT_FALSE(r.call.written) << "got \"" << r.call.result << "\"";
}

TEST_F(PluginTest, DrawLockFailureUnlocksAndOpensNothing) {
  HostArmLockFailure(1);
  DrawResult r = Draw(".35|.40|3|-.20", {}, kNoDialog);
  EXPECT_FALSE(r.call.written) << "got \"" << r.call.result << "\"";
  HostCallCounts counts = HostCounts();
  EXPECT_EQ(1, counts.failedLocks);
  EXPECT_EQ(counts.locks, counts.unlocks) << "the failed lock is undone";
}

TEST_F(PluginTest, DrawWritesNothingWhenTheResultResizeFails) {
  HostArmResizeFailure(1);
  DrawResult r =
      Draw(".35|.40|3|-.20", {DialogStep::Click(IDC_HORIZONTAL_DOWN)});
  EXPECT_FALSE(r.call.written) << "got \"" << r.call.result << "\"";
  EXPECT_EQ(1, HostCounts().failedResizes);
}

TEST_F(PluginTest, DrawWithoutADialogReportsTheError) {
  // An instance without the dialog template: the dialog cannot open, and
  // the user chose nothing.
  CallOptions options;
  options.instance = GetModuleHandleA(nullptr);
  DrawResult r = Draw(".35|.40|3|-.20", {}, kNoDialog, options);
  EXPECT_EQ("$$002$$", r.call.result);
}

// --- The language of older Windows -------------------------------------

// Windows 95, 98 and NT 4.0 have no GetUserDefaultUILanguage: the DLL's own
// lookup of it fails, and its older branch decides.
decltype(&GetProcAddress) gGetProcAddress;
FARPROC WINAPI WithoutUiLanguage(HMODULE module, LPCSTR name) {
  if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 &&
      strcmp(name, "GetUserDefaultUILanguage") == 0)
    return nullptr;
  return gGetProcAddress(module, name);
}

// The language of USER32's version resource, read as Q196787 reads it.
WORD User32Language() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(GetModuleHandleA("user32.dll"), path, sizeof path);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  std::vector<BYTE> block(size);
  WORD *pair = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoA(path, 0, size, block.data()) ||
      !VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<void **>(&pair), &length) ||
      length < 4)
    return 0;
  return pair[0];
}

WORD UiLanguage() {
  auto call = reinterpret_cast<LANGID(WINAPI *)()>(
      reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                              "GetUserDefaultUILanguage")));
  return call != nullptr ? call() : 0;
}

// The Reset button as the plug-in's templates write it in the languages
// these runs see.
std::wstring ResetIn(WORD language) {
  switch (language & 0x3FF) {
  case LANG_ENGLISH:
    return L"Reset";
  case LANG_GERMAN:
    return L"Zurücksetzen";
  case LANG_JAPANESE:
    return L"リセット";
  default:
    return L"<no row for " + std::to_wstring(language) + L">";
  }
}

std::string Utf8(const std::wstring &text) {
  char out[256] = "";
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, nullptr,
                      nullptr);
  return out;
}

std::wstring ResetShown() {
  wchar_t text[64] = L"";
  Draw(".35|.40|3|-.20", {DialogStep::Run([&](HWND d) {
         GetWindowTextW(FindDialogControl(d, IDC_RESET, "Button"), text, 64);
       })});
  return text;
}

// Runs again in German (wine.plugin_test.de).
class DialogLanguageTest : public PluginTest {};

TEST_F(DialogLanguageTest, BeforeWindows2000TheSystemsOwnResourcesDecide) {
  const WORD resources = User32Language();
  ASSERT_NE(0, resources & 0x3FF) << "USER32's version names no language";
  const std::wstring now = ResetShown();
  std::wstring older;
  {
    ImportPatch lookup("kernel32.dll", "GetProcAddress",
                       reinterpret_cast<const void *>(WithoutUiLanguage),
                       gPlugin.module);
    ASSERT_TRUE(lookup.patched()) << "the DLL's import of GetProcAddress";
    gGetProcAddress = lookup.original<decltype(&GetProcAddress)>();
    older = ResetShown();
  }
  // Wine's USER32 says U.S. English whatever the locale: in the German
  // run the user's language, German, would have decided before.
  EXPECT_EQ(Utf8(ResetIn(resources)), Utf8(older))
      << "without GetUserDefaultUILanguage: USER32's language " << resources
      << ", the user's " << GetUserDefaultLangID();
  EXPECT_EQ(Utf8(ResetIn(UiLanguage())), Utf8(now)) << "with it";
}

// --- The x87 state the host leaves ---------------------------------------

// The control word on the host's thread while its own code runs inside the
// dialog's loop: a thread timer of the host's, which that loop dispatches.
volatile uint16_t gControlInLoop;
void CALLBACK ReadControlInLoop(HWND, UINT, UINT_PTR, DWORD) {
  gControlInLoop = X87Control();
}

// The dialog as the screen shows it, cut to the capture frame: the disc, cup
// and ring, without the focused box's caret, which blinks on its own clock.
void CaptureSketch(HWND dialog, DibImage *image, std::string *error) {
  DibImage whole;
  RECT window, frame;
  if (!CaptureWindow(dialog, &whole, error) ||
      !GetWindowRect(dialog, &window) ||
      !GetWindowRect(GetDlgItem(dialog, IDC_CAPTURE_FRAME), &frame))
    return;
  const int left = frame.left - window.left, top = frame.top - window.top;
  image->width = std::min<int>(frame.right - frame.left, whole.width - left);
  image->height = std::min<int>(frame.bottom - frame.top, whole.height - top);
  image->rgb.clear();
  for (int y = top; y < top + image->height; ++y) {
    const auto row = whole.rgb.begin() + (size_t(y) * whole.width + left) * 3;
    image->rgb.insert(image->rgb.end(), row, row + image->width * 3);
  }
}

TEST_F(PluginTest, DrawIsTheSameWhateverX87StateTheHostLeaves) {
  // Rim 0 on the axes puts the cup where a coordinate lands within a hair
  // of a whole pixel, which a 24-bit precision moves. Each call shows one
  // axis hour repainted by the sketch area alone (as when it is uncovered),
  // then another chosen in the dialog (drawn at the combo box's
  // notification), and exports that one.
  const struct {
    const char *param, *chosen;
  } calls[] = {{".30|.50|12|0", "3"},
               {".30|.50|3|0", "6"},
               {".30|.50|6|0", "9"},
               {".30|.50|9|0", "12"}};
  // The last host also leaves all eight registers full, as code that used
  // MMX without EMMS does: every load in the plug-in would give a NaN.
  const struct {
    const char *what;
    uint16_t control;
    bool fullStack;
  } hosts[] = {
      {"53 bits", kX87Windows, false},
      {"24 bits", kX87Precision24, false},
      {"64 bits", kX87Precision64, false},
      {"24 bits toward zero", 0x0C7F, false},
      {"53 bits and a full register stack", kX87Windows, true},
  };
  const uint16_t saved = X87Control();
  for (const auto &call : calls) {
    std::string reference;
    std::vector<uint8_t> referenceShown, referenceDib;
    for (const auto &host : hosts) {
      SCOPED_TRACE(std::string(call.param) + ", then hour " + call.chosen +
                   ", with the host at " + host.what);
      ASSERT_TRUE(OpenClipboardWithRetry());
      EmptyClipboard();
      CloseClipboard();
      gControlInLoop = 0;
      const UINT_PTR timer = SetTimer(nullptr, 0, 10, ReadControlInLoop);
      SetX87Control(host.control);
      if (host.fullStack)
        FillX87Stack();
      // What the dialog shows after each; the waits also give the timer
      // time to fire.
      DibImage painted, chosen;
      std::string error;
      DrawResult r =
          Draw(call.param,
               {DialogStep::Run([&](HWND d) {
                  InvalidateRect(GetDlgItem(d, IDC_SKETCH_AREA), nullptr, TRUE);
                  WaitUntilPainted(d);
                  // Until the timer has fired, however busy the
                  // machine: a minute only against a hang.
                  for (DWORD t0 = GetTickCount();
                       !gControlInLoop && GetTickCount() - t0 < 60000;)
                    Sleep(10);
                  CaptureSketch(d, &painted, &error);
                }),
                DialogStep::Select(IDC_LOCATION, call.chosen),
                DialogStep::Run([&](HWND d) {
                  SendMessageA(d, WM_NULL, 0, 0);
                  CaptureSketch(d, &chosen, &error);
                })});
      const uint16_t after = X87Control();
      long double registers[8];
      const bool stackBack = !host.fullStack || DrainX87Stack(registers);
      SetX87Control(saved);
      KillTimer(nullptr, timer);
      EXPECT_EQ(host.control, after)
          << std::hex << "control word after the call";
      EXPECT_EQ(host.control, gControlInLoop)
          << std::hex << "control word of the host's own code in the loop";
      EXPECT_TRUE(stackBack) << "the host's eight registers after the call: "
                             << double(registers[0]) << " on top, expected 1";
      ASSERT_GT(painted.width, 100) << error;
      ASSERT_GT(chosen.width, 100) << error;
      std::vector<uint8_t> shown = painted.rgb, dib;
      shown.insert(shown.end(), chosen.rgb.begin(), chosen.rgb.end());
      ASSERT_TRUE(ReadClipboardDib(&dib, &error)) << error;
      if (&host == &hosts[0]) {
        reference = r.call.result;
        referenceShown = shown;
        referenceDib = dib;
        continue;
      }
      EXPECT_EQ(reference, r.call.result);
      EXPECT_TRUE(referenceShown == shown)
          << "the dialog on the screen differs from the one at 53 bits";
      EXPECT_TRUE(referenceDib == dib)
          << "the picture differs from the one made at 53 bits";
    }
  }
}

// A host's timer that also sets its own control word once, when asked:
// the host changing its x87 state while the plug-in's call is running.
std::atomic<uint16_t> gSetInLoop;
void CALLBACK SetControlInLoop(HWND, UINT, UINT_PTR, DWORD) {
  gControlInLoop = X87Control();
  if (const uint16_t control = gSetInLoop.exchange(0))
    SetX87Control(control);
}

// A step that has the host's timer set `control` in the loop that runs now,
// and waits until it has.
DialogStep SetInLoop(uint16_t control) {
  return DialogStep::Run([control](HWND) {
    gSetInLoop = control;
    for (int i = 0; i < 500 && gSetInLoop != 0; ++i)
      Sleep(10);
  });
}

TEST_F(PluginTest, TheHostsOwnX87ChangesInTheLoopsAreKept) {
  // A 24-bit host whose timer moves to 64 bits while the dialog is open,
  // and then, in one row, to 24 bits toward zero while the "Picture not
  // stored" prompt is up (the clipboard held at OK). Each word the host
  // sets is the one its code runs in afterwards, and the last is the one
  // it has after the call.
  const struct {
    const char *what;
    uint16_t inPrompt; // 0: no prompt
    const char *result;
  } rows[] = {
      {"changed in the dialog", 0, ".35|.40|3|-.20"},
      {"changed in the dialog, then in the prompt", 0x0C7F, "$$002$$"},
  };
  const uint16_t saved = X87Control();
  for (const auto &row : rows) {
    SCOPED_TRACE(row.what);
    gSetInLoop = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, SetControlInLoop);
    std::unique_ptr<ClipboardHolder> holder;
    uint16_t seenInPrompt = 0;
    std::vector<DialogStep> steps = {SetInLoop(kX87Precision64)};
    if (row.inPrompt != 0) {
      steps.push_back(
          DialogStep::Run([&](HWND) { holder.reset(new ClipboardHolder); }));
      steps.push_back(DialogStep::PostClick(IDC_OK));
      steps.push_back(DialogStep::Run([&](HWND d) {
        for (int i = 0; i < 1500 && FindPrompt(d) == nullptr; ++i)
          Sleep(10);
        gControlInLoop = 0;
        for (int i = 0; i < 500 && gControlInLoop == 0; ++i)
          Sleep(10);
        seenInPrompt = gControlInLoop;
      }));
      steps.push_back(SetInLoop(row.inPrompt));
      steps.push_back(DialogStep::Answer(IDC_CLOSE_WITHOUT_STORING));
    }
    SetX87Control(kX87Precision24);
    DrawResult r = Draw(".35|.40|3|-.20", steps);
    const uint16_t after = X87Control();
    SetX87Control(saved);
    KillTimer(nullptr, timer);
    holder.reset();
    EXPECT_EQ(row.result, r.call.result);
    if (row.inPrompt != 0) {
      EXPECT_EQ(kX87Precision64, seenInPrompt)
          << std::hex << "control word of the host's code in the prompt";
    }
    const uint16_t last = row.inPrompt != 0 ? row.inPrompt : +kX87Precision64;
    EXPECT_EQ(last, after) << std::hex << "control word after the call";
  }
}

} // namespace
