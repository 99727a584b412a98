// OK as a whole: the result text and the picture on the clipboard, its
// formats, header and pixels, whatever stood before OK (repaints, colour
// schemes), and OK with the clipboard held elsewhere. Past the usual length
// because all of it checks one picture with the same helpers.
#include <gtest/gtest.h>
#include <windows.h>

#include <limits.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>

#include <string>
#include <thread>
#include <vector>

#include "export/dib_win.h"
#include "host/entry_win.h"
#include "render/cup_layout.h"
#include "render/disc_layout.h"
#include "render/render_win.h"
#include "render/ring_layout.h"
#include "resources/orbitrace_res.h"
#include "stand-in-host/clipboard_picture.h"
#include "stand-in-host/host_memory.h"
#include "tests/wine/clipboard_holder.h"
#include "tests/wine/gdi_probe.h"
#include "tests/wine/import_patch.h"
#include "tests/wine/pixels.h"
#include "tests/wine/script_check.h"
#include "tests/wine/sketch_harness.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

namespace {

void EmptyTheClipboard() {
  ASSERT_TRUE(OpenClipboardWithRetry());
  EmptyClipboard();
  CloseClipboard();
}

bool ClipboardHas(UINT format) {
  std::vector<UINT> formats;
  std::string error;
  if (!ClipboardFormats(&formats, &error))
    return false;
  for (UINT f : formats)
    if (f == format)
      return true;
  return false;
}

// What the dialog showed just before OK, in the capture frame's terms.
struct Geometry {
  RECT frame = {};           // capture frame's client rectangle
  POINT sketch = {};         // sketch area's top-left inside the frame
  int width = 0, height = 0; // sketch area's client size
  int lh = 0, aw = 0;        // metrics of the ring's surface
};

DialogStep Measure(Geometry *g) {
  return DialogStep::Run([g](HWND d) {
    HWND frame = GetDlgItem(d, IDC_CAPTURE_FRAME),
         sketch = GetDlgItem(d, IDC_SKETCH_AREA);
    GetClientRect(frame, &g->frame);
    RECT rc;
    GetClientRect(sketch, &rc);
    g->width = rc.right;
    g->height = rc.bottom;
    g->sketch = POINT{0, 0};
    MapWindowPoints(sketch, frame, &g->sketch, 1);
    HDC hdc = GetDC(d);
    TEXTMETRICA tm;
    GetTextMetricsA(hdc, &tm);
    ReleaseDC(d, hdc);
    g->lh = tm.tmHeight;
    g->aw = tm.tmAveCharWidth;
  });
}

std::string DibDifference(const std::vector<uint8_t> &got,
                          const std::vector<uint8_t> &want);

class ExportTest : public ::testing::Test {
protected:
  void SetUp() override {
    HostReset();
    EmptyTheClipboard();
  }
};

TEST_F(ExportTest, OkPutsThreeFormatsOnTheClipboard) {
  Geometry g;
  SketchRun run = RunSketch(".35|.40|3|-.20|Right eye", {Measure(&g)});
  EXPECT_EQ(".35|.40|3|-.20", run.call.result)
      << "OK without a change returns the opening selections";
  EXPECT_TRUE(ClipboardHas(CF_DIB));
  EXPECT_TRUE(ClipboardHas(CF_BITMAP));
  EXPECT_TRUE(ClipboardHas(CF_PALETTE));

  std::vector<uint8_t> dib;
  std::string error;
  ASSERT_TRUE(ReadClipboardDib(&dib, &error)) << error;
  ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER bi;
  memcpy(&bi, dib.data(), sizeof bi);
  EXPECT_EQ(40u, bi.biSize);
  EXPECT_EQ(g.frame.right, bi.biWidth) << "the capture frame's client width";
  EXPECT_EQ(g.frame.bottom - 1, bi.biHeight)
      << "the capture frame's client height less one row";
  EXPECT_EQ(1, bi.biPlanes);
  // A palette display gives 8 bits per pixel behind a table of 256
  // colours; any deeper one 24 bits and no table.
  const int bits = DisplayBits() <= 8 ? 8 : 24;
  const uint32_t table = bits == 8 ? 256 * 4 : 0;
  EXPECT_EQ(bits, bi.biBitCount)
      << "on a display of " << DisplayBits() << " bits";
  EXPECT_EQ(DWORD(BI_RGB), bi.biCompression);
  EXPECT_EQ(0u, bi.biClrUsed) << "a table as long as the bit count says";
  EXPECT_EQ(40u + table, DibPixelOffset(dib.data(), dib.size()))
      << "pixels right after the header and the colour table";
  uint32_t row = (bits * uint32_t(bi.biWidth) + 31) / 32 * 4;
  EXPECT_EQ(40u + table + row * bi.biHeight, dib.size())
      << "header, table, then the pixels, nothing more";

  ASSERT_TRUE(OpenClipboardWithRetry());
  HBITMAP ddb = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  BITMAP bm = {};
  EXPECT_NE(0, GetObjectA(ddb, sizeof bm, &bm));
  EXPECT_EQ(bi.biWidth, bm.bmWidth);
  EXPECT_EQ(bi.biHeight, bm.bmHeight);
  EXPECT_EQ(DisplayBits(), bm.bmBitsPixel * bm.bmPlanes)
      << "a bitmap of the display's format";
  // The bitmap read back with the DIB's own header holds the DIB's pixels
  // (at 8 bits GDI writes a colour table of its own).
  std::vector<uint8_t> fromDdb(dib.size());
  memcpy(fromDdb.data(), dib.data(), 40 + table);
  HDC screen = GetDC(nullptr);
  HPALETTE system = GetSystemPalette(); // none on a deeper display
  HPALETTE oldPal = system ? SelectPalette(screen, system, FALSE) : nullptr;
  RealizePalette(screen);
  const int rows =
      GetDIBits(screen, ddb, 0, UINT(bm.bmHeight), fromDdb.data() + 40 + table,
                reinterpret_cast<BITMAPINFO *>(fromDdb.data()), DIB_RGB_COLORS);
  if (system != nullptr) {
    SelectPalette(screen, oldPal, FALSE);
    DeleteObject(system);
  }
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(bm.bmHeight, rows);
  DibImage a, b;
  EXPECT_TRUE(DibToRgb(fromDdb.data(), fromDdb.size(), &a, &error) &&
              DibToRgb(dib.data(), dib.size(), &b, &error) && a.rgb == b.rgb)
      << "CF_BITMAP: " << DibDifference(fromDdb, dib);

  HPALETTE pal = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
  HPALETTE stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  EXPECT_NE(stock, pal) << "the clipboard frees what it holds";
  PALETTEENTRY got[256], expected[256];
  UINT n = GetPaletteEntries(pal, 0, 256, got);
  UINT m = GetPaletteEntries(stock, 0, 256, expected);
  CloseClipboard();
  ASSERT_EQ(m, n);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(0, memcmp(got, expected, n * sizeof(PALETTEENTRY)))
      << "the default palette's colours";
}

TEST_F(ExportTest, ClipboardCanBeEmptiedAfterwards) {
  // The clipboard deletes what it owns at the next emptying; a stock object
  // among it would go with it.
  RunSketch(".35|.40|3|-.20", {});
  RunSketch(".35|.40|3|-.20", {});
  EmptyTheClipboard();
  HPALETTE stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  PALETTEENTRY entry;
  EXPECT_EQ(1u, GetPaletteEntries(stock, 0, 1, &entry))
      << "the default palette survives";
}

struct Picture {
  DibImage image;
  Colour At(int x, int y) const {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height)
      return CLR_INVALID;
    const uint8_t *p = &image.rgb[(size_t(y) * image.width + x) * 3];
    return RGB(p[0], p[1], p[2]);
  }
};

Picture ClipboardPicture() {
  Picture pic;
  std::vector<uint8_t> dib;
  std::string error;
  EXPECT_TRUE(ReadClipboardDib(&dib, &error)) << error;
  EXPECT_TRUE(DibToRgb(dib.data(), dib.size(), &pic.image, &error)) << error;
  return pic;
}

// A solid colour (a pen's, a text's) as this display stores it: exact at 24
// bits and more, quantised at 16, the nearest palette entry at 8.
Colour DisplayedSolid(Colour c) {
  HDC screen = GetDC(nullptr);
  HDC hdc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
  HGDIOBJ old = SelectObject(hdc, bitmap);
  SetPixelV(hdc, 0, 0, c.ref);
  std::vector<uint32_t> px;
  CopyDCPixels(hdc, 1, 1, &px);
  SelectObject(hdc, old);
  DeleteObject(bitmap);
  DeleteDC(hdc);
  ReleaseDC(nullptr, screen);
  return px.empty()
             ? Colour(CLR_INVALID)
             : Colour(RGB(px[0] >> 16 & 0xFF, px[0] >> 8 & 0xFF, px[0] & 0xFF));
}

// Where a point lies against the ellipse inscribed in `r`: below 1 inside.
double EllipseLevel(const IntRect &r, double x, double y) {
  double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
  double a = (r.right - r.left) / 2.0, b = (r.bottom - r.top) / 2.0;
  return (x - cx) * (x - cx) / (a * a) + (y - cy) * (y - cy) / (b * b);
}

// The pixels of one region of the sketch and what they show together.
struct Region {
  const char *name;
  Colour colour; // what the plug-in fills it with
  int pixels = 0, exact = 0;
  double r = 0, g = 0, b = 0; // sums
  void Add(Colour c) {
    ++pixels;
    exact += c == colour;
    r += GetRValue(c.ref), g += GetGValue(c.ref), b += GetBValue(c.ref);
  }
};

// Each region holds its colour: every pixel exactly on a display of 24
// bits or more; on fewer GDI quantises or dithers a brush, so there the
// region's mean colour must be near it.
void ExpectRegion(const Region &region) {
  ASSERT_GT(region.pixels, 50) << region.name << " region is too small";
  if (DisplayBits() >= 24) {
    EXPECT_EQ(region.pixels, region.exact)
        << region.name << ": pixels of " << region.colour;
    return;
  }
  const Colour mean =
      RGB(int(region.r / region.pixels), int(region.g / region.pixels),
          int(region.b / region.pixels));
  const COLORREF want = region.colour.ref;
  const int off = std::max({abs(GetRValue(mean.ref) - GetRValue(want)),
                            abs(GetGValue(mean.ref) - GetGValue(want)),
                            abs(GetBValue(mean.ref) - GetBValue(want))});
  EXPECT_LE(off, 40) << region.name << ": mean " << mean << ", expected near "
                     << region.colour;
}

// The picture shows the sketch of `values` (rim 1: a whole, centred cup):
// the white area, the disc around the cup, the cup, and every hour figure
// greyed where the layout puts it, with no dark glyph left. Failures name
// the caller's line.
void ExpectSketch(const Picture &pic, const Geometry &g, const char *x,
                  const char *y, const char *position,
                  const char *file = __builtin_FILE(),
                  int line = __builtin_LINE()) {
  ::testing::ScopedTrace trace(file, line,
                               std::string("the sketch of ") + x + "|" + y +
                                   "|" + position + "|1");
  ASSERT_GT(pic.image.width, 0);
  const IntRect client = {0, 0, g.width, g.height};
  const IntRect cup = LayoutCup(client, x, y, "1", position);
  const IntRect disc = {6, 6, g.width - 6, g.height - 6};
  RingLabel labels[kRingLabelCount];
  LayoutRing(client, g.lh, g.aw, labels);
  auto inLabel = [&](int px, int py) {
    for (const RingLabel &l : labels)
      if (px >= l.xPos - g.aw && px < l.xPos + (l.count + 1) * g.aw &&
          py >= l.yPos && py < l.yPos + g.lh)
        return true;
    return false;
  };

  Region white{"white area", RGB(255, 255, 255)}, discArea{"disc", kDisc},
      cupArea{"cup", kCup};
  for (int py = 0; py < g.height; ++py)
    for (int px = 0; px < g.width; ++px) {
      const Colour c = pic.At(g.sketch.x + px, g.sketch.y + py);
      const double cx = px + 0.5, cy = py + 0.5;
      if (EllipseLevel(cup, cx, cy) < 0.7)
        cupArea.Add(c);
      else if (EllipseLevel(cup, cx, cy) > 1.4 &&
               EllipseLevel(disc, cx, cy) < 0.85)
        discArea.Add(c);
      else if (EllipseLevel(client, cx, cy) > 1.2 && !inLabel(px, py))
        white.Add(c);
    }
  ExpectRegion(white);
  ExpectRegion(discArea);
  ExpectRegion(cupArea);
  EXPECT_TRUE(ShowsColour(pic.At(1, 1), GetSysColor(COLOR_3DFACE)))
      << "the margin in the dialog's face colour: " << pic.At(1, 1);

  if (DisplayBits() >= 24) {
    // The cup's exact place: an ellipse covers its rectangle's left and top
    // but not its right and bottom.
    RECT yellow = {INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int py = 0; py < pic.image.height; ++py)
      for (int px = 0; px < pic.image.width; ++px)
        if (pic.At(px, py) == kCup) {
          yellow.left = std::min<LONG>(yellow.left, px - g.sketch.x);
          yellow.top = std::min<LONG>(yellow.top, py - g.sketch.y);
          yellow.right = std::max<LONG>(yellow.right, px - g.sketch.x);
          yellow.bottom = std::max<LONG>(yellow.bottom, py - g.sketch.y);
        }
    EXPECT_EQ(cup.left, yellow.left);
    EXPECT_EQ(cup.top, yellow.top);
    EXPECT_EQ(cup.right - 1, yellow.right);
    EXPECT_EQ(cup.bottom - 1, yellow.bottom);
  }

  // The figures are drawn in a solid colour, which no display dithers. The
  // margin is the dialog's face: on a dark one (a high-contrast scheme) the
  // grey's smoothed edges are dark too, and no dark glyph could be told.
  const Colour grey = DisplayedSolid(kGreyedLabel);
  const bool darkFace = IsDark(GetSysColor(COLOR_3DFACE));
  for (const RingLabel &label : labels) {
    int greyed = 0, dark = 0;
    for (int py = label.yPos; py < label.yPos + g.lh; ++py)
      for (int px = label.xPos; px < label.xPos + (label.count + 1) * g.aw;
           ++px) {
        Colour c = pic.At(g.sketch.x + px, g.sketch.y + py);
        greyed += c == grey;
        dark += c != CLR_INVALID && IsDark(c) && !darkFace;
      }
    EXPECT_GE(greyed, 5) << "label " << label.text << " at (" << label.xPos
                         << ", " << label.yPos << ")";
    EXPECT_EQ(0, dark) << "label " << label.text;
  }
}

TEST_F(ExportTest, SavedPictureKeepsTheClipboardsPixels) {
  // What the stand-in host's --picture writes holds the clipboard's pixels,
  // from a table of colours (8 bits) as from none.
  RunSketch(".35|.50|12|1", {});
  Picture pic = ClipboardPicture();
  ASSERT_GT(pic.image.width, 0);
  const std::string file = "export-picture.png";
  DibImage saved;
  std::string error;
  ASSERT_TRUE(SaveClipboardPicture(file, &saved, &error)) << error;
  int w = 0, h = 0, n = 0;
  unsigned char *png = stbi_load(file.c_str(), &w, &h, &n, 3);
  ASSERT_NE(nullptr, png) << stbi_failure_reason();
  EXPECT_EQ(pic.image.width, w);
  EXPECT_EQ(pic.image.height, h);
  EXPECT_TRUE(pic.image.rgb.size() == size_t(w) * h * 3 &&
              memcmp(png, pic.image.rgb.data(), pic.image.rgb.size()) == 0)
      << "the PNG's pixels differ from the clipboard's";
  stbi_image_free(png);
  DeleteFileA(file.c_str());
}

TEST_F(ExportTest, PictureDoesNotDependOnTheLocale) {
  // Another module of the host process may set a decimal-comma locale in
  // the runtime the plug-in shares; ".30" must still be three tenths.
  std::vector<uint8_t> inC, inGerman;
  std::string error;
  RunSketch(".30|.40|3|-.20", {});
  ASSERT_TRUE(ReadClipboardDib(&inC, &error)) << error;
  const std::string saved = setlocale(LC_ALL, nullptr);
  ASSERT_NE(nullptr, setlocale(LC_ALL, "German"));
  const double there = atof(".30");
  SketchRun run = RunSketch(".30|.40|3|-.20", {});
  setlocale(LC_ALL, saved.c_str());
  ASSERT_NE(0.3, there) << "precondition: the runtime's atof follows it";
  EXPECT_EQ(".30|.40|3|-.20", run.call.result);
  ASSERT_TRUE(ReadClipboardDib(&inGerman, &error)) << error;
  EXPECT_TRUE(inC == inGerman) << "the picture changed with the locale";
}

// The picture is the sketch of `values` ("h|v|hour|1": a whole, centred
// cup).
void ExpectSketchOf(const std::string &values, const Geometry &g,
                    const Picture &pic, const char *file = __builtin_FILE(),
                    int line = __builtin_LINE()) {
  ::testing::ScopedTrace trace(file, line, "the picture of " + values);
  char x[16], y[16], position[16], rim[16];
  ASSERT_EQ(4, sscanf(values.c_str(), "%15[^|]|%15[^|]|%15[^|]|%15s", x, y,
                      position, rim))
      << values;
  ASSERT_STREQ("1", rim) << "a cup off the disc's edge is expected";
  ExpectSketch(pic, g, x, y, position, file, line);
}

// What may stand between the screen and the values just before OK.
struct BeforeOk {
  const char *what;
  DialogStep step;
  const char *result; // from ".30|.50|12|1"
  // The system makes objects of its own that are not the call's to free:
  // for another window's first showing, a brush for a new system colour.
  bool systemObjects = false;
};

HWND Control(HWND dialog, int id, const char *className) {
  return FindDialogControl(dialog, id, className);
}

// Moves the dialog, its size kept, and waits for the paints that follow.
void MoveDialog(HWND d, int x, int y) {
  SetWindowPos(d, nullptr, x, y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  WaitUntilPainted(d);
  SyncWithDialog(d);
}

// A black always-on-top window of the test's thread, as a notification or
// another program's window would lie over the dialog.
HWND gCover;

const BeforeOk kBeforeOk[] = {
    {"a value chosen", DialogStep::Select(IDC_HORIZONTAL, ".35"),
     ".35|.50|12|1"},
    {"the sketch area invalidated alone", DialogStep::Run([](HWND d) {
       InvalidateRect(GetDlgItem(d, IDC_SKETCH_AREA), nullptr, TRUE);
     }),
     ".30|.50|12|1"},
    {"the sketch area repainted alone", DialogStep::Run([](HWND d) {
       InvalidateRect(GetDlgItem(d, IDC_SKETCH_AREA), nullptr, TRUE);
       WaitUntilPainted(d);
       SyncWithDialog(d);
     }),
     ".30|.50|12|1"},
    {"the dialog invalidated with erase",
     DialogStep::Run([](HWND d) { InvalidateRect(d, nullptr, TRUE); }),
     ".30|.50|12|1"},
    {"a selection changed without a notification", DialogStep::Run([](HWND d) {
       HWND combo = Control(d, IDC_HORIZONTAL, "ComboBox");
       LRESULT item = SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1),
                                   reinterpret_cast<LPARAM>(".40"));
       SendMessageA(combo, CB_SETCURSEL, WPARAM(item), 0);
     }),
     ".40|.50|12|1"},
    {"the sketch area drawn over", DialogStep::Run([](HWND d) {
       HWND sketch = GetDlgItem(d, IDC_SKETCH_AREA);
       RECT rc;
       GetClientRect(sketch, &rc);
       HDC hdc = GetDC(sketch);
       FillRect(hdc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
       ReleaseDC(sketch, hdc);
     }),
     ".30|.50|12|1"},
    // Under Wine a window's surface is clipped to the screen: what is off
    // it reads black.
    {"the dialog partly off the right edge", DialogStep::Run([](HWND d) {
       MoveDialog(d, GetSystemMetrics(SM_CXSCREEN) - 140, 100);
     }),
     ".30|.50|12|1"},
    {"the dialog partly off the bottom edge", DialogStep::Run([](HWND d) {
       MoveDialog(d, 100, GetSystemMetrics(SM_CYSCREEN) - 120);
     }),
     ".30|.50|12|1"},
    {"the dialog partly above and left of the screen",
     DialogStep::Run([](HWND d) { MoveDialog(d, -150, -120); }),
     ".30|.50|12|1"},
    {"a topmost window over the sketch area", DialogStep::Run([](HWND d) {
       RECT r;
       GetWindowRect(GetDlgItem(d, IDC_SKETCH_AREA), &r);
       SetWindowPos(gCover, HWND_TOPMOST, r.left, r.top, r.right - r.left,
                    r.bottom - r.top, SWP_SHOWWINDOW | SWP_NOACTIVATE);
       SyncWithDialog(d);
     }),
     ".30|.50|12|1", true},
    // The layer drawn at the opening is stale: OK draws it afresh. Last:
    // the system frees its brushes of the colour in its own time.
    {"the face colour changed while it is open", DialogStep::Run([](HWND d) {
       const INT index = COLOR_3DFACE;
       const COLORREF colour = RGB(120, 200, 160);
       SetSysColors(1, &index, &colour);
       SyncWithDialog(d);
     }),
     ".30|.50|12|1", true},
};

TEST_F(ExportTest, PictureIsTheSketchOfTheReturnedValues) {
  gCover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "",
                           WS_POPUP | SS_BLACKRECT, 0, 0, 10, 10, nullptr,
                           nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, gCover);
  bool first = true;
  for (const BeforeOk &c : kBeforeOk) {
    SCOPED_TRACE(c.what);
    EmptyTheClipboard();
    const INT faceIndex = COLOR_3DFACE;
    const COLORREF face = GetSysColor(faceIndex);
    const int objects = SettledGdiObjects();
    Geometry g;
    // The cup stays centred and whole at rim 1.
    SketchRun run = RunSketch(".30|.50|12|1", {Measure(&g), c.step});
    ShowWindow(gCover, SW_HIDE);
    EXPECT_EQ(c.result, run.call.result);
    ExpectSketchOf(c.result, g, ClipboardPicture());
    SetSysColors(1, &faceIndex, &face);
    // Once the clipboard has let go of the picture, the call with its OK
    // leaves as many GDI objects as it found: a captured bitmap or palette
    // not deleted shows here. The first call also makes what the system
    // keeps for later (cached DCs and the like).
    EmptyTheClipboard();
    if (!first && !c.systemObjects) {
      EXPECT_EQ(objects, SettledGdiObjects()) << "GDI objects left behind";
    }
    first = false;
  }
  DestroyWindow(gCover);
}

// The DIB the plug-in would make of `bitmap` (deleted), as bytes.
std::vector<uint8_t> DibBytesOf(HBITMAP bitmap) {
  HPALETTE pal = GetSystemPalette();
  HANDLE dib = BitmapToDIB(bitmap, pal);
  DeleteObject(pal);
  DeleteObject(bitmap);
  std::vector<uint8_t> bytes;
  if (const uint8_t *p = static_cast<const uint8_t *>(GlobalLock(dib))) {
    bytes.assign(p, p + GlobalSize(dib));
    GlobalUnlock(dib);
  }
  GlobalFree(dib);
  return bytes;
}

// The picture as OK took it when it read it off the screen: the figures
// greyed on the screen, then the capture frame's client area less its
// bottom row copied, and made a DIB with the system palette as the
// clipboard's is.
std::vector<uint8_t> ScreenPicture(HWND d) {
  HWND frame = GetDlgItem(d, IDC_CAPTURE_FRAME),
       sketch = GetDlgItem(d, IDC_SKETCH_AREA);
  RECT rc, client;
  GetClientRect(frame, &rc);
  GetClientRect(sketch, &client);
  HDC dialogDC = GetDC(d);
  POINT corner = {0, 0};
  MapWindowPoints(sketch, d, &corner, 1);
  SetViewportOrgEx(dialogDC, corner.x, corner.y, nullptr);
  EraseRing(dialogDC, IntRect{0, 0, client.right, client.bottom});
  ReleaseDC(d, dialogDC);

  HDC screen = GetDC(frame);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom - 1);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, rc.right, rc.bottom - 1, screen, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  ReleaseDC(frame, screen);
  return DibBytesOf(bitmap);
}

// Where two DIBs first differ, and in how many pixels.
std::string DibDifference(const std::vector<uint8_t> &got,
                          const std::vector<uint8_t> &want) {
  DibImage a, b;
  std::string error;
  if (!DibToRgb(got.data(), got.size(), &a, &error) ||
      !DibToRgb(want.data(), want.size(), &b, &error))
    return "unreadable: " + error;
  if (a.width != b.width || a.height != b.height)
    return "sizes " + std::to_string(a.width) + "x" + std::to_string(a.height) +
           " and " + std::to_string(b.width) + "x" + std::to_string(b.height);
  int count = 0, first = -1;
  for (size_t i = 0; i < a.rgb.size(); i += 3)
    if (memcmp(&a.rgb[i], &b.rgb[i], 3) != 0) {
      count++;
      if (first < 0)
        first = int(i / 3);
    }
  if (count == 0)
    return "the same pixels, other bytes (header or colour table)";
  const uint8_t *p = &a.rgb[size_t(first) * 3], *q = &b.rgb[size_t(first) * 3];
  char text[160];
  snprintf(text, sizeof text,
           "%d pixels differ; the first at (%d, %d): RGB(%d, %d, %d) drawn, "
           "RGB(%d, %d, %d) on the screen",
           count, first % a.width, first / a.width, p[0], p[1], p[2], q[0],
           q[1], q[2]);
  return text;
}

// The sketch area drawn in a bitmap the way the display keeps it, its disc
// and cup clips made with the plug-in's arcs or, as before, with an Ellipse
// in the path (which Wine records, and Windows 95, 98 and ME do not). Each
// clip is filled whole, so that every pixel of both shows, and then the cup
// is drawn: a DIB of the result.
std::vector<uint8_t> ClippedSketch(HWND d, const SketchValues &values,
                                   bool ellipsePath) {
  HWND sketch = GetDlgItem(d, IDC_SKETCH_AREA);
  RECT rc;
  GetClientRect(sketch, &rc);
  const IntRect client = {0, 0, rc.right, rc.bottom};
  HDC screen = GetDC(sketch);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
  HGDIOBJ old = SelectObject(mem, bitmap);
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  HBRUSH disc = CreateSolidBrush(kDiscColour);
  FillRect(mem, &rc, white);
  for (const IntRect &box : {client, CupClipRect(client)}) {
    if (ellipsePath) {
      BeginPath(mem);
      Ellipse(mem, box.left, box.top, box.right, box.bottom);
      EndPath(mem);
      SelectClipPath(mem, RGN_COPY);
    } else {
      SelectEllipseClip(mem, box);
    }
    FillRect(mem, &rc, box == client ? disc : white);
  }
  DrawForegroundEllipse(mem, client, values);
  SelectClipRgn(mem, nullptr);
  SelectObject(mem, old);
  DeleteObject(white);
  DeleteObject(disc);
  DeleteDC(mem);
  ReleaseDC(sketch, screen);
  return DibBytesOf(bitmap);
}

TEST_F(ExportTest, DrawnPictureIsTheUnobscuredScreensCapture) {
  // Every hour, cups whole and clipped at the disc's edge, and the extreme
  // sizes.
  const char *const params[] = {
      ".35|.40|1|-.20", ".95|.90|2|-.95", ".50|.50|3|-.50",  "1|1|4|-.95",
      ".05|.10|5|.50",  "0|0|6|1",        ".70|.30|7|-.35",  ".20|.80|8|0",
      ".60|.60|9|-.75", ".45|.25|10|.25", ".80|.95|11|-.60", ".15|.55|12|-.05"};
  for (const char *param : params) {
    SCOPED_TRACE(param);
    EmptyTheClipboard();
    std::vector<uint8_t> screen, arcs, ellipsePath;
    SketchRun run =
        RunSketch(param, {DialogStep::Run([&](HWND d) {
                    screen = ScreenPicture(d);
                    // The clip the arcs make is the one an
                    // Ellipse in the path made.
                    arcs = ClippedSketch(d, SelectedValues(d), false);
                    ellipsePath = ClippedSketch(d, SelectedValues(d), true);
                  })});
    EXPECT_EQ(param, run.call.result);
    std::vector<uint8_t> drawn;
    std::string error;
    ASSERT_TRUE(ReadClipboardDib(&drawn, &error)) << error;
    ASSERT_FALSE(screen.empty()) << "no screen capture";
    EXPECT_TRUE(drawn == screen) << DibDifference(drawn, screen);
    ASSERT_FALSE(arcs.empty()) << "no clipped sketch";
    EXPECT_TRUE(arcs == ellipsePath)
        << "the arcs' clip against an Ellipse path's: "
        << DibDifference(arcs, ellipsePath);
  }
}

// Sets system colours for one test and restores them, whatever happens.
class ColourScheme {
public:
  struct Colour {
    int index;
    COLORREF value;
  };
  explicit ColourScheme(const std::vector<Colour> &colours) {
    for (const Colour &c : colours) {
      indices_.push_back(c.index);
      values_.push_back(c.value);
      saved_.push_back(GetSysColor(c.index));
    }
    set_ = SetSysColors(int(indices_.size()), indices_.data(), values_.data());
  }
  ~ColourScheme() {
    SetSysColors(int(indices_.size()), indices_.data(), saved_.data());
  }
  bool set() const { return set_ != FALSE; }

private:
  std::vector<INT> indices_;
  std::vector<COLORREF> values_, saved_;
  BOOL set_ = FALSE;
};

struct Scheme {
  const char *name;
  std::vector<ColourScheme::Colour> colours;
};

TEST_F(ExportTest, PictureColoursDoNotFollowTheColourScheme) {
  if (!ColoursComparable())
    GTEST_SKIP() << "colours are dithered at " << DisplayBits()
                 << " bits per pixel";
  const COLORREF navy = RGB(0, 0, 128), black = RGB(0, 0, 0),
                 white = RGB(255, 255, 255);
  const Scheme schemes[] = {
      // What the white rectangle takes under Wine.
      {"ButtonHilight navy", {{COLOR_BTNHIGHLIGHT, navy}}},
      // What it takes on Windows, and the high-contrast black scheme: a
      // black face with white text on it. Window text in a colour of its
      // own, so that figures drawn in it on the face would show.
      {"face and window black, button text white, window text cyan",
       {{COLOR_WINDOW, black},
        {COLOR_WINDOWTEXT, RGB(0, 255, 255)},
        {COLOR_3DFACE, black},
        {COLOR_BTNTEXT, white},
        {COLOR_BTNHIGHLIGHT, black}}},
  };
  for (const Scheme &scheme : schemes) {
    SCOPED_TRACE(scheme.name);
    EmptyTheClipboard();
    ColourScheme colours(scheme.colours);
    ASSERT_TRUE(colours.set());
    Geometry g;
    // Glyph pixels that stand out: dark on the white sketch area, in the
    // scheme's text colour on the dialog's face.
    std::vector<int> seenOnScreen(kRingLabelCount, 0);
    const Colour text = GetSysColor(COLOR_BTNTEXT);
    Colour corner, disc;
    SketchRun run = RunSketch(
        ".30|.50|12|1",
        {Measure(&g), DialogStep::Run([&](HWND d) {
           HWND sketch = GetDlgItem(d, IDC_SKETCH_AREA);
           POINT at = {0, 0};
           MapWindowPoints(sketch, d, &at, 1);
           Snapshot snap = SnapClient(d);
           corner = snap.At(at.x + 1, at.y + 1);
           disc = snap.At(at.x + g.width / 5, at.y + g.height / 2);
           RingLabel labels[kRingLabelCount];
           LayoutRing(IntRect{0, 0, g.width, g.height}, g.lh, g.aw, labels);
           for (int i = 0; i < kRingLabelCount; ++i)
             for (int y = labels[i].yPos; y < labels[i].yPos + g.lh; ++y)
               for (int x = labels[i].xPos;
                    x < labels[i].xPos + (labels[i].count + 1) * g.aw; ++x)
                 if (x >= 0 && y >= 0 && x < g.width && y < g.height)
                   seenOnScreen[i] += IsDark(snap.At(at.x + x, at.y + y));
                 else if (snap.Contains(at.x + x, at.y + y))
                   seenOnScreen[i] +=
                       ShowsColour(snap.At(at.x + x, at.y + y), text);
         })});
    EXPECT_EQ(".30|.50|12|1", run.call.result);
    EXPECT_TRUE(ShowsColour(corner, white))
        << "sketch area on the screen: " << corner;
    EXPECT_TRUE(ShowsColour(disc, kDisc)) << "disc on the screen: " << disc;
    for (int i = 0; i < kRingLabelCount; ++i)
      EXPECT_GE(seenOnScreen[i], 5)
          << "hour figure " << i + 1 << " in layout order, on the screen";
    ExpectSketchOf(run.call.result, g, ClipboardPicture());
  }
}

TEST_F(ExportTest, OkAtOnceStillExportsTheWholeSketch) {
  // OK before the dialog has had its first paint, as a quick Enter would.
  DialogScript script;
  script.waitForPaint = false;
  Geometry g;
  script.steps = {Measure(&g), DialogStep::Ok()};
  std::string result;
  RunScriptedCall(script, [&] {
    LoadedPlugin self;
    self.module = GetModuleHandleA(nullptr);
    self.entry = FMExternCallProc;
    result =
        CallFunction(self, kDrawFunction, std::string(".35|.40|3|1")).result;
  });
  EXPECT_EQ(".35|.40|3|1", result);
  ExpectSketch(ClipboardPicture(), g, ".35", ".40", "3");
}

TEST_F(ExportTest, OkAfterResetReturnsTheItemTexts) {
  SketchRun run = RunSketch(
      ".5|.9|1|-.5", {DialogStep::Click(IDC_HORIZONTAL_DOWN),
                      DialogStep::Select(IDC_RIM, "0"), DialogStep::Reset()});
  EXPECT_EQ(".50|.90|1|-.50", run.call.result);
  EXPECT_TRUE(ClipboardHas(CF_DIB));
}

std::vector<uint8_t> ClipboardDib() {
  std::vector<uint8_t> dib;
  std::string error;
  EXPECT_TRUE(ReadClipboardDib(&dib, &error)) << error;
  return dib;
}

// The plug-in's calls that a row of OkStoresTheValuesOnlyWithTheirPicture
// makes fail, through this program's imports.
enum Fault { kNoFault, kDibRefusedOnce, kNoPen, kNoBrushForANewDisplay };
decltype(&SetClipboardData) gSetClipboardData;
int gDibRefusals;
HANDLE WINAPI RefuseTheDib(UINT format, HANDLE data) {
  if (format == CF_DIB && gDibRefusals > 0) {
    --gDibRefusals;
    return nullptr;
  }
  return gSetClipboardData(format, data);
}
HPEN WINAPI NoPen(int, int, COLORREF) { return nullptr; }
HBRUSH WINAPI NoBrush(COLORREF) { return nullptr; }

std::unique_ptr<ImportPatch> MakeFault(Fault fault, HWND dialog) {
  std::unique_ptr<ImportPatch> patch;
  switch (fault) {
  case kNoFault:
    break;
  case kDibRefusedOnce:
    patch.reset(new ImportPatch("user32.dll", "SetClipboardData",
                                reinterpret_cast<const void *>(RefuseTheDib)));
    gSetClipboardData = patch->original<decltype(&SetClipboardData)>();
    gDibRefusals = 1;
    break;
  case kNoPen:
    patch.reset(new ImportPatch("gdi32.dll", "CreatePen",
                                reinterpret_cast<const void *>(NoPen)));
    break;
  case kNoBrushForANewDisplay:
    patch.reset(new ImportPatch("gdi32.dll", "CreateSolidBrush",
                                reinterpret_cast<const void *>(NoBrush)));
    // The layer made at the opening is dropped: OK draws the disc too.
    SendMessageA(dialog, WM_DISPLAYCHANGE, DisplayBits(),
                 MAKELPARAM(GetSystemMetrics(SM_CXSCREEN),
                            GetSystemMetrics(SM_CYSCREEN)));
    break;
  }
  return patch;
}

TEST_F(ExportTest, OkStoresTheValuesOnlyWithTheirPicture) {
  struct Hold {
    const char *what;
    DWORD ms;     // from just before OK; 0: not held
    bool gdiFull; // no GDI handle left to draw the picture with
    int answer;   // to the prompt; 0: no prompt expected
    int answerAfterMs;
    const char *result;
    Fault fault;
  };
  // The retries last about 100 ms. The brief hold is released well inside
  // them, and it stands for a clipboard manager or remote-desktop sync
  // reading the clipboard for a moment. Past them the user is asked.
  const Hold holds[] = {
      {"held for a moment", 40, false, 0, 0, ".30|.40|3|-.20", kNoFault},
      {"held 1.5 s, tried again once let go", 1500, false, IDC_TRY_AGAIN, 1700,
       ".30|.40|3|-.20", kNoFault},
      {"held throughout, closed without storing", INFINITE, false,
       IDC_CLOSE_WITHOUT_STORING, 0, "$$002$$", kNoFault},
      {"held throughout, Escape on the prompt", INFINITE, false, IDCANCEL, 0,
       "$$002$$", kNoFault},
      {"the DIB refused once, tried again", 0, false, IDC_TRY_AGAIN, 0,
       ".30|.40|3|-.20", kDibRefusedOnce},
      // The clipboard gets no picture rather than an undrawn one, nor one
      // drawn in a memory DC's default pen and brush.
      {"no GDI handle left for the picture, closed without storing", 0, true,
       IDC_CLOSE_WITHOUT_STORING, 0, "$$002$$", kNoFault},
      {"no pen for the cup, closed without storing", 0, false,
       IDC_CLOSE_WITHOUT_STORING, 0, "$$002$$", kNoPen},
      {"no brush for the disc, closed without storing", 0, false,
       IDC_CLOSE_WITHOUT_STORING, 0, "$$002$$", kNoBrushForANewDisplay},
  };
  RunSketch(".30|.40|3|-.20", {});
  const std::vector<uint8_t> theirs = ClipboardDib();
  for (const Hold &hold : holds) {
    SCOPED_TRACE(hold.what);
    // Another record's sketch is on the clipboard before OK.
    RunSketch(".80|.80|6|0", {});
    const std::vector<uint8_t> older = ClipboardDib();
    ASSERT_FALSE(older == theirs);
    std::unique_ptr<ClipboardHolder> holder;
    std::unique_ptr<ImportPatch> fault;
    std::vector<HPEN> pens;
    bool held = hold.ms == 0;
    std::vector<DialogStep> steps = {
        DialogStep::Click(IDC_HORIZONTAL_DOWN), DialogStep::Run([&](HWND d) {
          fault = MakeFault(hold.fault, d);
          if (hold.ms != 0) {
            holder.reset(new ClipboardHolder(hold.ms));
            held = holder->held();
          }
          while (hold.gdiFull && pens.size() < 200000)
            if (HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3)))
              pens.push_back(pen);
            else
              break;
        })};
    if (hold.answer != 0) {
      steps.push_back(DialogStep::PostClick(IDC_OK));
      steps.push_back(DialogStep::Wait(hold.answerAfterMs));
      steps.push_back(DialogStep::Answer(hold.answer));
    }
    SketchRun run = RunSketch(".35|.40|3|-.20", steps);
    holder.reset();
    EXPECT_TRUE(hold.fault == kNoFault || fault->patched());
    fault.reset();
    for (HPEN pen : pens)
      DeleteObject(pen);
    EXPECT_TRUE(held) << "the holder could not take the clipboard";
    EXPECT_EQ(hold.result, run.call.result);
    const bool stored = run.call.result != "$$002$$";
    EXPECT_TRUE(ClipboardDib() == (stored ? theirs : older))
        << (stored ? "not the picture of the values returned"
                   : "the clipboard changed though nothing was stored");
    std::string report;
    EXPECT_TRUE(HostCheckIntegrity(&report)) << report;
  }
}

// A display 250 pixels wide, narrower than the capture frame, as GDI tells
// it once the display has changed.
decltype(&GetDeviceCaps) gGetDeviceCaps;
int WINAPI NarrowDisplayCaps(HDC hdc, int index) {
  return index == HORZRES ? 250 : gGetDeviceCaps(hdc, index);
}

TEST_F(ExportTest, OkDrawsThePictureForTheDisplayItHasThen) {
  std::unique_ptr<ImportPatch> narrow;
  Geometry g;
  SketchRun run = RunSketch(
      ".35|.40|3|-.20",
      {Measure(&g), DialogStep::Run([&](HWND d) {
         narrow.reset(new ImportPatch(
             "gdi32.dll", "GetDeviceCaps",
             reinterpret_cast<const void *>(NarrowDisplayCaps)));
         gGetDeviceCaps = narrow->original<decltype(&GetDeviceCaps)>();
         SendMessageA(d, WM_DISPLAYCHANGE, DisplayBits(), MAKELPARAM(250, 768));
       })});
  ASSERT_TRUE(narrow && narrow->patched());
  narrow.reset();
  EXPECT_EQ(".35|.40|3|-.20", run.call.result);
  ASSERT_GT(g.frame.right, 250) << "the frame must be wider than the display";
  std::vector<uint8_t> dib = ClipboardDib();
  ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER bi;
  memcpy(&bi, dib.data(), sizeof bi);
  EXPECT_EQ(250, bi.biWidth) << "the picture is cut to the display it has now";
}

TEST_F(ExportTest, SystemPaletteOnlyWhereTheDisplayHasOne) {
  HDC screen = GetDC(nullptr);
  int bits = DisplayBits();
  int entries = PalEntriesOnDevice(screen);
  ReleaseDC(nullptr, screen);
  if (bits <= 8)
    EXPECT_EQ(1 << bits, entries);
  else
    EXPECT_EQ(256, entries) << "on a " << bits << "-bit display";
  // A display without a settable palette has no system palette to read:
  // here one deeper than 8 bits, on Windows 95's safe mode one of 16
  // colours. None then, rather than one of blacks.
  HPALETTE pal = GetSystemPalette();
  if (bits > 8) {
    EXPECT_EQ(nullptr, pal) << "on a " << bits << "-bit display";
  } else {
    ASSERT_NE(nullptr, pal);
    EXPECT_EQ(UINT(entries), GetPaletteEntries(pal, 0, 0, nullptr));
  }
  if (pal != nullptr)
    DeleteObject(pal);
}

TEST_F(ExportTest, RunsOnTheDisplayAskedFor) {
  // Without this, an environment that silently fell back to the default
  // display would pass for one that tested another.
  const char *bits = getenv("ORBT_EXPECT_BITS");
  const char *dpi = getenv("ORBT_EXPECT_DPI");
  if (bits == nullptr || dpi == nullptr)
    GTEST_SKIP() << "ORBT_EXPECT_BITS and ORBT_EXPECT_DPI are not set";
  HDC screen = GetDC(nullptr);
  const int logPixels = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(atoi(bits), DisplayBits()) << "bits per pixel";
  EXPECT_EQ(atoi(dpi), logPixels) << "logical dpi";
}

} // namespace
