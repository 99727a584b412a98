// Many Draw calls and many steps in one process: results right every time,
// the picture right at the end, and neither GDI objects nor memory growing.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "render/sketch_colours.h"
#include "resources/orbitrace_res.h"
#include "stand-in-host/clipboard_picture.h"
#include "stand-in-host/dialog_script.h"
#include "stand-in-host/host_memory.h"
#include "stand-in-host/plugin_host.h"
#include "tests/wine/gdi_probe.h"
#include "tests/wine/script_check.h"

namespace {

LoadedPlugin gPlugin;

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX pmc = {};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(),
                       reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&pmc),
                       sizeof pmc);
  return pmc.PrivateUsage;
}

// The test fails at the caller's line unless the dialog showed and every
// step ran.
std::string Draw(const std::string &param, std::vector<DialogStep> steps,
                 const char *file = __builtin_FILE(),
                 int line = __builtin_LINE()) {
  std::string result;
  DialogScript script;
  script.steps = std::move(steps);
  script.timeoutMs = 120000;
  RunScriptedCall(
      script,
      [&] { result = CallFunction(gPlugin, kDrawFunction, param).result; },
      file, line);
  return result;
}

class LoadTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { gPlugin = LoadPluginOrExit(); }
  void SetUp() override { HostReset(); }
};

TEST_F(LoadTest, TwoHundredDrawCallsInARow) {
  const char *hours[] = {"1", "2", "3", "4",  "5",  "6",
                         "7", "8", "9", "10", "11", "12"};
  // The first calls warm up what the system keeps for later (classes, DC
  // caches, the clipboard's own state): under Wine the count climbs over
  // some twenty calls, then only wavers by a few.
  for (int i = 0; i < 30; ++i)
    Draw(".35|.40|3|-.20", {DialogStep::Click(IDC_HORIZONTAL_DOWN)});
  const int gdiBefore = LiveGdiObjects();
  SIZE_T memoryAt20 = 0;
  int wrong = 0;
  for (int i = 0; i < 200; ++i) {
    // Each call starts at another hour and steps it on by one.
    std::string position = hours[i % 12], next = hours[(i + 1) % 12];
    std::string result = Draw(".35|.40|" + position + "|-.20",
                              {DialogStep::Click(IDC_HORIZONTAL_DOWN),
                               DialogStep::Click(IDC_LOCATION_DOWN),
                               DialogStep::Click(IDC_RIM_DOWN)});
    std::string expected = ".30|.40|" + next + "|-.25";
    if (result != expected && wrong++ < 5)
      ADD_FAILURE() << "call " << i << ": got " << result << ", expected "
                    << expected;
    if (i == 19)
      memoryAt20 = PrivateBytes();
  }
  EXPECT_EQ(0, wrong);
  // One object left behind per call would show as 200.
  EXPECT_LE(LiveGdiObjects(), gdiBefore + 8) << "GDI objects were left behind";
  SIZE_T memoryAt200 = PrivateBytes();
  EXPECT_LT(memoryAt200, memoryAt20 + 512 * 1024)
      << "private bytes grew from " << memoryAt20 << " to " << memoryAt200
      << " over 180 calls";

  // The last picture is still a whole sketch.
  std::vector<uint8_t> dib;
  std::string error;
  ASSERT_TRUE(ReadClipboardDib(&dib, &error)) << error;
  DibImage image;
  ASSERT_TRUE(DibToRgb(dib.data(), dib.size(), &image, &error)) << error;
  ASSERT_GT(image.width, 100);
  // Somewhere along the middle row lie the disc and the cup.
  int disc = 0, cup = 0;
  const int y = image.height / 2;
  for (int x = 0; x < image.width; ++x) {
    const uint8_t *p = &image.rgb[(size_t(y) * image.width + x) * 3];
    disc += RGB(p[0], p[1], p[2]) == kDiscColour;
    cup += RGB(p[0], p[1], p[2]) == kCupColour;
  }
  EXPECT_GT(disc, image.width / 4);
  EXPECT_GT(cup, 10);
}

TEST_F(LoadTest, TwentyThousandStepsInOneDialog) {
  int gdiBefore = 0, gdiAfter = 0;
  SIZE_T memoryBefore = 0, memoryAfter = 0;
  std::string texts;
  const int buttons[] = {IDC_HORIZONTAL_UP, IDC_HORIZONTAL_DOWN,
                         IDC_VERTICAL_UP,   IDC_VERTICAL_DOWN,
                         IDC_RIM_UP,        IDC_RIM_DOWN,
                         IDC_LOCATION_UP,   IDC_LOCATION_DOWN};
  std::string result =
      Draw(".50|.50|6|.50",
           {DialogStep::Run([&](HWND d) {
              for (int id : buttons)
                SendMessageA(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
              gdiBefore = LiveGdiObjects();
              memoryBefore = PrivateBytes();
              // Every button in turn: up and down cancel out in each round, and
              // 2,500 rounds end where they began.
              for (int i = 0; i < 20000; ++i)
                SendMessageA(d, WM_COMMAND,
                             MAKEWPARAM(buttons[i % 8], BN_CLICKED), 0);
              gdiAfter = LiveGdiObjects();
              memoryAfter = PrivateBytes();
            }),
            DialogStep::Click(IDC_HORIZONTAL_DOWN)});
  EXPECT_EQ(".45|.50|6|.50", result);
  EXPECT_LE(gdiAfter, gdiBefore + 8) << "GDI objects were left behind";
  EXPECT_LT(memoryAfter, memoryBefore + 256 * 1024)
      << "private bytes grew from " << memoryBefore << " to " << memoryAfter;
}

} // namespace
