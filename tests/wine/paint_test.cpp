// The sketch as the screen shows it: disc, cup, clock ring, step buttons,
// and what repainting and thousands of steps leave behind. One file past
// the usual length: every case reads the same scene of one dialog, and one
// test program per half would only copy those helpers.
#include <gtest/gtest.h>
#include <windows.h>

#include <math.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "export/clipboard_win.h"
#include "render/cup_layout.h"
#include "render/render_win.h"
#include "render/ring_layout.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state_win.h"
#include "stand-in-host/clipboard_picture.h"
#include "stand-in-host/host_memory.h"
#include "tests/wine/gdi_probe.h"
#include "tests/wine/pixels.h"
#include "tests/wine/sketch_harness.h"

namespace {

const Colour kWhite = RGB(255, 255, 255);
const Colour kFace = RGB(211, 211, 211);
const Colour kBlack = RGB(0, 0, 0);

// The sketch area's place in the dialog and the dialog's pixels.
struct Scene {
  HWND dialog = nullptr;
  POINT origin = {}; // sketch area's top-left in dialog client coordinates
  int width = 0, height = 0;
  Snapshot snap;

  Colour At(int x, int y) const { return snap.At(origin.x + x, origin.y + y); }
  RECT Area() const {
    return {origin.x, origin.y, origin.x + width, origin.y + height};
  }
};

Scene Look(HWND dialog) {
  Scene s;
  s.dialog = dialog;
  HWND sketch = GetDlgItem(dialog, IDC_SKETCH_AREA);
  RECT rc;
  GetClientRect(sketch, &rc);
  s.width = rc.right;
  s.height = rc.bottom;
  MapWindowPoints(sketch, dialog, &s.origin, 1);
  s.snap = SnapClient(dialog);
  return s;
}

// The dialog as it first shows for these values; a run without the dialog
// fails the test at the caller's line.
Scene LookAt(const std::string &param, const char *file = __builtin_FILE(),
             int line = __builtin_LINE()) {
  Scene s;
  RunSketch(param, {DialogStep::Run([&](HWND d) { s = Look(d); })}, file, line);
  return s;
}

IntRect Client(const Scene &s) { return IntRect{0, 0, s.width, s.height}; }

// Yellow pixels of the sketch area, in its own coordinates.
RECT CupBox(const Scene &s) {
  RECT box = BoxOf(s.snap, kCup, s.Area());
  OffsetRect(&box, -s.origin.x, -s.origin.y);
  return box;
}

// Where a point lies against the ellipse inscribed in `r`: below 1 inside.
double EllipseLevel(const IntRect &r, double x, double y) {
  double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
  double a = (r.right - r.left) / 2.0, b = (r.bottom - r.top) / 2.0;
  return (x - cx) * (x - cx) / (a * a) + (y - cy) * (y - cy) / (b * b);
}

IntRect ClipEllipse(const Scene &s) {
  return IntRect{5, 5, s.width - 5, s.height - 5};
}

class PaintTest : public ::testing::Test {
protected:
  void SetUp() override { HostReset(); }
};

TEST_F(PaintTest, DiscOnAWhiteSketchArea) {
  const Scene s = LookAt(".30|.30|1|1");
  ASSERT_GT(s.width, 100);
  ASSERT_GT(s.height, 100);
  const POINT corners[] = {
      {1, 1}, {s.width - 2, 1}, {1, s.height - 2}, {s.width - 2, s.height - 2}};
  for (const POINT &p : corners)
    EXPECT_EQ(kWhite, s.At(p.x, p.y))
        << "corner (" << p.x << ", " << p.y << ") of the sketch area";
  // Between the centred cup and the disc's edge.
  const POINT disc[] = {{s.width / 2, s.height / 5},
                        {s.width / 5, s.height / 2},
                        {s.width - s.width / 5, s.height / 2},
                        {s.width / 2, s.height - s.height / 5}};
  for (const POINT &p : disc)
    EXPECT_EQ(kDisc, s.At(p.x, p.y)) << "(" << p.x << ", " << p.y << ")";
}

TEST_F(PaintTest, DiscDoesNotMoveWithTheValues) {
  const Scene a = LookAt(".30|.30|1|1");
  const Scene b = LookAt("1|.95|7|-.95");
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  IntRect disc = {6, 6, a.width - 6, a.height - 6};
  IntRect clip = ClipEllipse(a);
  int differences = 0, checked = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      double px = x + 0.5, py = y + 0.5;
      if (EllipseLevel(disc, px, py) < 0.9) {
        ++checked;
        EXPECT_TRUE(a.At(x, y) == kDisc || a.At(x, y) == kCup) << x << "," << y;
        if (b.At(x, y) != kDisc && b.At(x, y) != kCup)
          ++differences;
      } else if (EllipseLevel(clip, px, py) > 1.1) {
        ++checked;
        if (a.At(x, y) != b.At(x, y))
          ++differences;
      }
    }
  EXPECT_GT(checked, a.width * a.height / 2);
  EXPECT_EQ(0, differences) << "pixels that moved with the values";
}

struct CupCase {
  const char *x, *y, *rim, *position;
};

std::string Param(const CupCase &c) {
  return std::string(c.x) + "|" + c.y + "|" + c.position + "|" + c.rim;
}

// The pixels GDI covers with an ellipse of `r`, drawn alone off the screen:
// mostly r less its right column and bottom row, but a thin ellipse may
// leave out its extreme rows, as it did at 144 dpi.
RECT EllipseBox(const IntRect &r, int width, int height) {
  HDC screen = GetDC(nullptr);
  HDC hdc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ oldBitmap = SelectObject(hdc, bitmap);
  RECT all = {0, 0, width, height};
  FillRect(hdc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HPEN pen = CreatePen(PS_SOLID, 1, kCupColour);
  HBRUSH brush = CreateSolidBrush(kCupColour);
  HGDIOBJ oldPen = SelectObject(hdc, pen), oldBrush = SelectObject(hdc, brush);
  Ellipse(hdc, r.left, r.top, r.right, r.bottom);
  Snapshot snap;
  snap.width = width;
  snap.height = height;
  CopyDCPixels(hdc, width, height, &snap.pixels);
  SelectObject(hdc, oldPen);
  SelectObject(hdc, oldBrush);
  SelectObject(hdc, oldBitmap);
  DeleteObject(pen);
  DeleteObject(brush);
  DeleteObject(bitmap);
  DeleteDC(hdc);
  ReleaseDC(nullptr, screen);
  return BoxOf(snap, kCup, all);
}

TEST_F(PaintTest, UnclippedCupsMatchTheLayout) {
  const CupCase cases[] = {{".30", ".50", "1", "12"},
                           {".75", ".20", "1", "3"},
                           {".05", ".95", "1", "9"},
                           {".55", ".55", "1", "6"},
                           {".35", ".40", "1", "3"}};
  for (const CupCase &c : cases) {
    const std::string param = Param(c);
    const Scene s = LookAt(param);
    IntRect cup = LayoutCup(Client(s), c.x, c.y, c.rim, c.position);
    EXPECT_EQ(EllipseBox(cup, s.width, s.height), CupBox(s))
        << "values " << param << ", layout " << ::testing::PrintToString(cup);
  }
}

TEST_F(PaintTest, MovedCupsMatchTheLayoutWhereNotClipped) {
  const CupCase cases[] = {
      {".30", ".50", ".50", "12"}, {".30", ".50", ".50", "3"},
      {".30", ".50", ".50", "6"},  {".30", ".50", ".50", "9"},
      {".30", ".50", ".50", "2"},  {".45", ".25", ".25", "10"}};
  for (const CupCase &c : cases) {
    const std::string param = Param(c);
    const Scene s = LookAt(param);
    IntRect cup = LayoutCup(Client(s), c.x, c.y, c.rim, c.position);
    IntRect clip = ClipEllipse(s);
    RECT box = CupBox(s);
    double midX = (cup.left + cup.right) / 2.0,
           midY = (cup.top + cup.bottom) / 2.0;
    // A side counts when the cup's extreme point there lies well inside
    // the clip.
    int sides = 0;
    if (EllipseLevel(clip, cup.left, midY) < 0.95) {
      EXPECT_EQ(cup.left, box.left) << "left side, values " << param;
      ++sides;
    }
    if (EllipseLevel(clip, cup.right, midY) < 0.95) {
      EXPECT_EQ(cup.right - 1, box.right) << "right side, values " << param;
      ++sides;
    }
    if (EllipseLevel(clip, midX, cup.top) < 0.95) {
      EXPECT_EQ(cup.top, box.top) << "top side, values " << param;
      ++sides;
    }
    if (EllipseLevel(clip, midX, cup.bottom) < 0.95) {
      EXPECT_EQ(cup.bottom - 1, box.bottom) << "bottom side, values " << param;
      ++sides;
    }
    EXPECT_GE(sides, 2) << "values " << param;
  }
}

TEST_F(PaintTest, NegativeRimIsCutAtTheDisc) {
  for (const char *position : {"12", "2", "3", "7", "9"}) {
    std::string param = std::string(".50|.50|") + position + "|-.50";
    const Scene s = LookAt(param);
    IntRect cup = LayoutCup(Client(s), ".50", ".50", "-.50", position);
    IntRect clip = ClipEllipse(s);
    int outside = 0, inside = 0;
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x)
        if (s.At(x, y) == kCup) {
          double level = EllipseLevel(clip, x + 0.5, y + 0.5);
          outside += level > 1.05;
          inside += level < 1.0;
        }
    EXPECT_EQ(0, outside) << "yellow outside the clip at hour " << position;
    EXPECT_GT(inside, 100) << "hour " << position;
    // The layout itself reaches beyond the clip: the cut is real.
    bool beyond = cup.left < 5 || cup.top < 5 || cup.right > s.width - 5 ||
                  cup.bottom > s.height - 5;
    EXPECT_TRUE(beyond) << "hour " << position;
  }
}

TEST_F(PaintTest, EachStepRedrawsAtOnce) {
  struct Step {
    int button;
    const char *x, *y, *position, *rim; // values after the step
  };
  const Step steps[] = {{IDC_HORIZONTAL_DOWN, ".30", ".40", "3", "-.20"},
                        {IDC_LOCATION_UP, ".30", ".40", "2", "-.20"},
                        {IDC_RIM_DOWN, ".30", ".40", "2", "-.25"},
                        {IDC_VERTICAL_UP, ".30", ".45", "2", "-.25"},
                        {IDC_HORIZONTAL_UP, ".35", ".45", "2", "-.25"},
                        // Reset: back to the opening values, drawn at once.
                        {IDC_RESET, ".35", ".40", "3", "-.20"}};
  RunSketch(".35|.40|3|-.20", {DialogStep::Run([&](HWND d) {
              RECT before = CupBox(Look(d));
              for (const Step &step : steps) {
                SCOPED_TRACE("button " + std::to_string(step.button));
                // Sent, so it has been handled when this returns; no paint
                // is waited for.
                SendMessageA(
                    d, WM_COMMAND, MAKEWPARAM(step.button, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(d, step.button)));
                Scene s = Look(d);
                RECT box = CupBox(s);
                IntRect cup = LayoutCup(Client(s), step.x, step.y, step.rim,
                                        step.position);
                EXPECT_NE(before, box) << "the cup did not move";
                // Compare the side that faces away from the cup's hour.
                double midY = (cup.top + cup.bottom) / 2.0;
                if (EllipseLevel(ClipEllipse(s), cup.left, midY) < 0.95) {
                  EXPECT_EQ(cup.left, box.left) << "the cup's left side";
                }
                before = box;
              }
            })});
}

// Filled in by a dialog step: empty until then, so that a run without a
// dialog reads nothing undefined.
struct LabelCells {
  RingLabel labels[kRingLabelCount] = {};
  SIZE extent[kRingLabelCount] = {};
};

LabelCells RingCells(const Scene &s) {
  LabelCells cells;
  HDC hdc = GetDC(s.dialog); // the ring's surface: the dialog's default font
  TEXTMETRICA tm;
  GetTextMetricsA(hdc, &tm);
  LayoutRing(Client(s), tm.tmHeight, tm.tmAveCharWidth, cells.labels);
  for (int i = 0; i < kRingLabelCount; ++i)
    GetTextExtentPoint32A(hdc, cells.labels[i].text, cells.labels[i].count,
                          &cells.extent[i]);
  ReleaseDC(s.dialog, hdc);
  return cells;
}

int DarkPixelsInCell(const Scene &s, const RingLabel &label,
                     const SIZE &extent) {
  int dark = 0;
  for (int y = label.yPos; y < label.yPos + extent.cy; ++y)
    for (int x = label.xPos; x < label.xPos + extent.cx; ++x)
      dark +=
          s.snap.Contains(s.origin.x + x, s.origin.y + y) && IsDark(s.At(x, y));
  return dark;
}

TEST_F(PaintTest, RingLabelsStandWhereTheLayoutPutsThem) {
  Scene first, after;
  LabelCells cells;
  RunSketch(".35|.40|3|-.20",
            {DialogStep::Run([&](HWND d) {
               first = Look(d);
               cells = RingCells(first);
             }),
             DialogStep::Click(IDC_HORIZONTAL_DOWN),
             DialogStep::Click(IDC_LOCATION_UP),
             DialogStep::Click(IDC_RIM_DOWN),
             DialogStep::Select(IDC_HORIZONTAL, ".95"),
             DialogStep::Run([&](HWND d) { after = Look(d); })});
  int outside = 0;
  for (int i = 0; i < kRingLabelCount; ++i) {
    const RingLabel &label = cells.labels[i];
    EXPECT_GE(DarkPixelsInCell(first, label, cells.extent[i]), 5)
        << "label " << label.text << " at (" << label.xPos << ", " << label.yPos
        << ")";
    bool wholly = label.xPos + cells.extent[i].cx <= 0 ||
                  label.yPos + cells.extent[i].cy <= 0 ||
                  label.xPos >= first.width || label.yPos >= first.height;
    outside += wholly;
    // Value changes leave the ring alone.
    int changed = 0;
    for (int y = label.yPos; y < label.yPos + cells.extent[i].cy; ++y)
      for (int x = label.xPos; x < label.xPos + cells.extent[i].cx; ++x)
        changed += first.At(x, y) != after.At(x, y);
    EXPECT_EQ(0, changed) << "pixels of label " << label.text
                          << " that the value changes altered";
  }
  EXPECT_EQ(4, outside) << "labels wholly outside the sketch area";
}

// The arrow bitmaps: apex at column 8, row 7 (upper) or row 8 (lower).
// Failures name the caller's line.
void ExpectArrow(HWND dialog, int id, bool upper, const char *when,
                 const char *file = __builtin_FILE(),
                 int line = __builtin_LINE()) {
  ::testing::ScopedTrace trace(file, line, when);
  Snapshot b = SnapClient(GetDlgItem(dialog, id));
  if (b.At(8, upper ? 7 : 8) != kBlack) {
    // Keep the evidence: the dialog as it looks with the arrow missing.
    std::string picture = "missing-arrow-" + std::to_string(id) + ".png", error;
    DibImage image;
    if (CaptureWindow(dialog, &image, &error) &&
        WritePng(picture, image, &error))
      ADD_FAILURE() << "button " << id << ": see " << picture;
  }
  ASSERT_GE(b.width, 12) << "button " << id;
  ASSERT_GE(b.height, 12) << "button " << id;
  EXPECT_EQ(kBlack, b.At(8, upper ? 7 : 8)) << "apex of button " << id;
  EXPECT_EQ(kFace, b.At(3, upper ? 10 : 5)) << "face of button " << id;
  EXPECT_EQ(kBlack, b.At(0, upper ? 5 : 10)) << "edge of button " << id;
}

const int kUpper[] = {IDC_VERTICAL_UP, IDC_HORIZONTAL_UP, IDC_RIM_UP,
                      IDC_LOCATION_UP};
const int kLower[] = {IDC_VERTICAL_DOWN, IDC_HORIZONTAL_DOWN, IDC_RIM_DOWN,
                      IDC_LOCATION_DOWN};

// What a repaint can spoil: every pixel of the capture frame's area (the
// sketch area, the ring around it) and of the step buttons, in dialog client
// coordinates.
std::vector<RECT> SketchAndButtons(HWND dialog) {
  std::vector<RECT> areas;
  std::vector<int> ids = {IDC_CAPTURE_FRAME};
  ids.insert(ids.end(), std::begin(kUpper), std::end(kUpper));
  ids.insert(ids.end(), std::begin(kLower), std::end(kLower));
  for (int id : ids) {
    HWND control = GetDlgItem(dialog, id);
    RECT rc;
    GetClientRect(control, &rc);
    MapWindowPoints(control, dialog, reinterpret_cast<POINT *>(&rc), 2);
    areas.push_back(rc);
  }
  return areas;
}

// A repaint of the dialog or of one control, as a theme or colour change,
// the host, an assistive tool or an uncovering causes it.
struct Repaint {
  const char *what;
  void (*cause)(HWND dialog);
};

void Invalidate(HWND dialog, int id, BOOL erase) {
  InvalidateRect(id == 0 ? dialog : GetDlgItem(dialog, id), nullptr, erase);
}

const Repaint kRepaints[] = {
    {"the dialog, with erase", [](HWND d) { Invalidate(d, 0, TRUE); }},
    {"the dialog, without erase", [](HWND d) { Invalidate(d, 0, FALSE); }},
    {"the dialog's part over the sketch area",
     [](HWND d) {
       HWND sketch = GetDlgItem(d, IDC_SKETCH_AREA);
       RECT rc;
       GetClientRect(sketch, &rc);
       MapWindowPoints(sketch, d, reinterpret_cast<POINT *>(&rc), 2);
       InvalidateRect(d, &rc, TRUE);
     }},
    {"the dialog alone, not its controls",
     [](HWND d) {
       RedrawWindow(d, nullptr, nullptr,
                    RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN);
     }},
    {"the sketch area alone",
     [](HWND d) { Invalidate(d, IDC_SKETCH_AREA, TRUE); }},
    {"a step button alone",
     [](HWND d) { Invalidate(d, IDC_HORIZONTAL_DOWN, TRUE); }},
    {"everything at once, the capture frame shown first",
     [](HWND d) {
       ShowWindow(GetDlgItem(d, IDC_CAPTURE_FRAME), SW_SHOW);
       RedrawWindow(d, nullptr, nullptr,
                    RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME |
                        RDW_UPDATENOW);
     }},
};

TEST_F(PaintTest, EveryRepaintLeavesTheSketchWhole) {
  if (!ColoursComparable())
    printf("note: colours are dithered at %d bits per pixel; only the "
           "shapes and the pixels' sameness are checked\n",
           DisplayBits());
  for (const Repaint &repaint : kRepaints) {
    SCOPED_TRACE(repaint.what);
    Scene first, after;
    LabelCells cells;
    std::vector<RECT> areas;
    bool frameHidden = false;
    RunSketch(".50|.50|3|.50", {DialogStep::Run([&](HWND d) {
                first = Look(d);
                areas = SketchAndButtons(d);
                cells = RingCells(first);
                repaint.cause(d);
                // Nothing is left to paint once a paint has begun; the
                // dialog answers only when it has also ended.
                WaitUntilPainted(d);
                SyncWithDialog(d);
                frameHidden =
                    !IsWindowVisible(GetDlgItem(d, IDC_CAPTURE_FRAME));
                after = Look(d);
                for (int id : kUpper)
                  ExpectArrow(d, id, true, repaint.what);
                for (int id : kLower)
                  ExpectArrow(d, id, false, repaint.what);
              })});
    EXPECT_TRUE(frameHidden) << "the capture frame is hidden at every paint";
    EXPECT_EQ(first.snap.width, after.snap.width);
    EXPECT_TRUE(ShowsColour(after.At(1, 1), kWhite))
        << "sketch area corner " << after.At(1, 1);
    EXPECT_TRUE(ShowsColour(after.At(after.width / 5, after.height / 2), kDisc))
        << "disc " << after.At(after.width / 5, after.height / 2);
    for (int i = 0; i < kRingLabelCount; ++i)
      EXPECT_GE(DarkPixelsInCell(after, cells.labels[i], cells.extent[i]), 5)
          << "label " << cells.labels[i].text;
    // Against the dialog's first paint, which the tests above check.
    int changed = 0;
    POINT firstChange = {-1, -1};

    for (const RECT &area : areas)
      for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
          if (first.snap.At(x, y) != after.snap.At(x, y) && changed++ == 0)
            firstChange = {x, y};
    EXPECT_EQ(0, changed) << "pixels that differ from the first paint, first "
                          << "at (" << firstChange.x << ", " << firstChange.y
                          << "): "
                          << after.snap.At(firstChange.x, firstChange.y)
                          << " instead of "
                          << first.snap.At(firstChange.x, firstChange.y);
  }
}

TEST_F(PaintTest, CaptureFrameIsHiddenAfterThePaint) {
  bool visible = true;
  RunSketch("1", {DialogStep::Run([&](HWND d) {
              visible = IsWindowVisible(GetDlgItem(d, IDC_CAPTURE_FRAME));
            })});
  EXPECT_FALSE(visible);
}

TEST_F(PaintTest, StepButtonsShowTheirArrows) {
  RunSketch("1", {DialogStep::Run([&](HWND d) {
              for (int id : kUpper)
                ExpectArrow(d, id, true, "after the dialog's paint");
              for (int id : kLower)
                ExpectArrow(d, id, false, "after the dialog's paint");
            })});
}

TEST_F(PaintTest, StepButtonsKeepTheirArrowsWhenTheyRepaint) {
  RunSketch(
      "1|1|6|1", {DialogStep::Run([&](HWND d) {
        for (int id : {IDC_VERTICAL_UP, IDC_VERTICAL_DOWN, IDC_LOCATION_UP,
                       IDC_LOCATION_DOWN}) {
          // The button repaints itself alone, as when it is uncovered.
          HWND button = GetDlgItem(d, id);
          RedrawWindow(button, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
          WaitUntilPainted(d);
          const bool upper = id == IDC_VERTICAL_UP || id == IDC_LOCATION_UP;
          ExpectArrow(d, id, upper, "after its own paint");
          // A real press and release.
          PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
          PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
          SyncWithDialog(d);
          WaitUntilPainted(d);
          ExpectArrow(d, id, upper, "after a click");
        }
      })});
}

TEST_F(PaintTest, AmpersandRedrawsDiscAndCupOnly) {
  Colour afterOther, afterAmpersand, cornerAfter;
  RunSketch(".30|.30|1|1", {DialogStep::Run([&](HWND d) {
              HWND sketch = GetDlgItem(d, IDC_SKETCH_AREA);
              RECT rc;
              GetClientRect(sketch, &rc);
              // Spoil the sketch area, then see what each character mends.
              HDC hdc = GetDC(sketch);
              HBRUSH black = CreateSolidBrush(kBlack.ref);
              FillRect(hdc, &rc, black);
              DeleteObject(black);
              ReleaseDC(sketch, hdc);
              SendMessageA(d, WM_CHAR, 'x', 0);
              Scene s = Look(d);
              afterOther = s.At(s.width / 5, s.height / 2);
              SendMessageA(d, WM_CHAR, '&', 0);
              s = Look(d);
              afterAmpersand = s.At(s.width / 5, s.height / 2);
              cornerAfter = s.At(1, 1);
            })});
  EXPECT_EQ(kBlack, afterOther) << "only the ampersand redraws";
  EXPECT_EQ(kDisc, afterAmpersand);
  EXPECT_EQ(kBlack, cornerAfter) << "the ampersand draws disc and cup only";
}

TEST_F(PaintTest, DrawingLeavesTheCallersObjectsSelected) {
  bool penKept = false, brushKept = false, penAfterCup = false,
       brushAfterCup = false, pictureKept = false;
  POINT viewport = {}, brushOrigin = {};
  int clip = -1;
  COLORREF text = 0;
  RunSketch(
      ".35|.40|3|-.20", {DialogStep::Run([&](HWND d) {
        HWND sketch = GetDlgItem(d, IDC_SKETCH_AREA);
        RECT rc;
        GetClientRect(sketch, &rc);
        const IntRect client = {0, 0, rc.right, rc.bottom};
        HDC hdc = GetDC(sketch);
        HPEN pen = CreatePen(PS_DOT, 1, RGB(1, 2, 3));
        HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
        HGDIOBJ oldPen = SelectObject(hdc, pen);
        HGDIOBJ oldBrush = SelectObject(hdc, brush);
        DrawBackroundEllipse(hdc, client);
        penKept = GetCurrentObject(hdc, OBJ_PEN) == pen;
        brushKept = GetCurrentObject(hdc, OBJ_BRUSH) == brush;
        DrawForegroundEllipse(hdc, client, SelectedValues(d));
        penAfterCup = GetCurrentObject(hdc, OBJ_PEN) == pen;
        brushAfterCup = GetCurrentObject(hdc, OBJ_BRUSH) == brush;
        // The exported picture, drawn into a DC of the caller's.
        HDC mem = CreateCompatibleDC(hdc);
        HBITMAP bitmap = CreateCompatibleBitmap(hdc, 40, 40);
        HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
        HGDIOBJ memOldPen = SelectObject(mem, pen);
        HGDIOBJ memOldBrush = SelectObject(mem, brush);
        SetTextColor(mem, RGB(7, 8, 9));
        const PictureLayout layout = {{0, 0, 40, 40}, {-3, -5}, {2, 3}, client};
        DrawPictureBase(mem, layout, GetSysColorBrush(COLOR_3DFACE));
        DrawPictureValues(mem, layout, SelectedValues(d));
        pictureKept = GetCurrentObject(mem, OBJ_PEN) == pen &&
                      GetCurrentObject(mem, OBJ_BRUSH) == brush &&
                      GetCurrentObject(mem, OBJ_BITMAP) == bitmap;
        GetViewportOrgEx(mem, &viewport);
        GetBrushOrgEx(mem, &brushOrigin);
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        clip = GetClipRgn(mem, rgn);
        DeleteObject(rgn);
        text = GetTextColor(mem);
        SelectObject(mem, memOldPen);
        SelectObject(mem, memOldBrush);
        SelectObject(mem, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(mem);
        SelectObject(hdc, oldPen);
        SelectObject(hdc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
        ReleaseDC(sketch, hdc);
      })});
  EXPECT_TRUE(penKept) << "the disc's pen is still selected";
  EXPECT_TRUE(brushKept) << "the disc's brush is still selected";
  EXPECT_TRUE(penAfterCup) << "the cup's pen is still selected";
  EXPECT_TRUE(brushAfterCup) << "the cup's brush is still selected";
  EXPECT_TRUE(pictureKept) << "the picture's DC keeps its pen, brush, bitmap";
  EXPECT_TRUE(viewport.x == 0 && viewport.y == 0)
      << "the picture's viewport origin: " << viewport.x << ", " << viewport.y;
  EXPECT_TRUE(brushOrigin.x == 0 && brushOrigin.y == 0)
      << "its brush origin: " << brushOrigin.x << ", " << brushOrigin.y;
  EXPECT_EQ(0, clip) << "its clip region: none, as before";
  EXPECT_EQ(RGB(7, 8, 9), text) << "its text colour";
}

// Leaves rectangles (0, 0, 200, 200) in the stack below the caller, so that
// a RECT read there before it is set would draw something.
__attribute__((noinline)) LONG PoisonStack() {
  volatile LONG area[2048];
  for (int i = 0; i < 2048; ++i)
    area[i] = i % 4 < 2 ? 0 : 200;
  return area[0];
}

TEST_F(PaintTest, NothingIsDrawnOrCapturedWithoutTheDialog) {
  RunSketch("1", {});
  ASSERT_FALSE(IsWindow(ghwnd)) << "the ended dialog's handle stays behind";
  struct Drawing {
    const char *name;
    void (*draw)(HDC);
  };
  const Drawing drawings[] = {
      {"Redraw", [](HDC) { Redraw(); }},
  };
  HDC screen = GetDC(nullptr);
  HDC hdc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 300, 300);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(hdc, bitmap);
  const RECT all = {0, 0, 300, 300};
  for (const Drawing &drawing : drawings) {
    FillRect(hdc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Snapshot before = SnapClient(GetDesktopWindow());
    PoisonStack();
    drawing.draw(hdc);
    Snapshot after = SnapClient(GetDesktopWindow());
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(CopyDCPixels(hdc, 300, 300, &pixels));
    int drawn = 0, onScreen = 0;
    for (uint32_t p : pixels)
      drawn += p != 0xFFFFFF;
    for (size_t i = 0; i < before.pixels.size(); ++i)
      onScreen += before.pixels[i] != after.pixels[i];
    EXPECT_EQ(0, drawn) << drawing.name << " drew on the given DC";
    EXPECT_EQ(0, onScreen) << drawing.name << " drew on the screen";
  }
  SelectObject(hdc, old);
  DeleteObject(bitmap);
  DeleteDC(hdc);
  PoisonStack();
  HBITMAP captured = CreateClippedBitmap();
  EXPECT_EQ(nullptr, captured) << "a capture without a capture frame";
  if (captured != nullptr)
    DeleteObject(captured);
}

TEST_F(PaintTest, ThousandsOfStepsLeakNothing) {
  int before = 0, after = 0;
  Scene end;
  RunSketch(".50|.50|1|.50", {DialogStep::Run([&](HWND d) {
              SendMessageA(d, WM_COMMAND,
                           MAKEWPARAM(IDC_HORIZONTAL_DOWN, BN_CLICKED), 0);
              const int buttons[] = {IDC_HORIZONTAL_UP, IDC_HORIZONTAL_DOWN,
                                     IDC_VERTICAL_UP,   IDC_VERTICAL_DOWN,
                                     IDC_RIM_UP,        IDC_RIM_DOWN,
                                     IDC_LOCATION_UP,   IDC_LOCATION_DOWN};
              // One round first, so that whatever the system keeps for
              // later (cached DCs and the like) exists before the probe.
              for (int id : buttons)
                SendMessageA(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
              SendMessageA(d, WM_CHAR, '&', 0);
              before = LiveGdiObjects();
              for (int i = 0; i < 2000; ++i)
                SendMessageA(d, WM_COMMAND,
                             MAKEWPARAM(buttons[i % 8], BN_CLICKED), 0);
              SendMessageA(d, WM_CHAR, '&', 0);
              after = LiveGdiObjects();
              end = Look(d);
            })});
  EXPECT_EQ(before, after) << "GDI objects were left behind";
  // 250 rounds of up/down pairs return every value; the hour advanced by
  // 250 - 250 = 0 as well. Drawing still follows the layout.
  IntRect cup = LayoutCup(Client(end), ".45", ".50", ".50", "1");
  RECT box = CupBox(end);
  EXPECT_EQ(cup.left, box.left);
  EXPECT_EQ(cup.top, box.top);
}

} // namespace
