#include "export/clipboard_win.h"

#include <string.h>

#include "export/capture_rect.h"
#include "export/clipboard_open_win.h"
#include "export/dib_win.h"
#include "render/rect_win.h"
#include "render/render_win.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state_win.h"

// The four values OK returns, just saved from the combo boxes.
static SketchValues ReturnedValues() {
  SketchValues values;
  memcpy(values.horizontal, gXval2, sizeof values.horizontal);
  memcpy(values.vertical, gYval2, sizeof values.vertical);
  memcpy(values.rim, gEdge2, sizeof values.rim);
  memcpy(values.position, gPosition2, sizeof values.position);
  return values;
}

// A bitmap of 16 bits per pixel in the 5-6-5 layout of such displays.
static HBITMAP CreateFiveSixFiveBitmap(HDC hdc, int width, int height) {
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } bi;
  memset(&bi, 0, sizeof bi);
  bi.header.biSize = sizeof bi.header;
  bi.header.biWidth = width;
  bi.header.biHeight = height;
  bi.header.biPlanes = 1;
  bi.header.biBitCount = 16;
  bi.header.biCompression = BI_BITFIELDS;
  bi.masks[0] = 0xF800;
  bi.masks[1] = 0x07E0;
  bi.masks[2] = 0x001F;
  void *bits = nullptr;
  return CreateDIBSection(hdc, reinterpret_cast<BITMAPINFO *>(&bi),
                          DIB_RGB_COLORS, &bits, nullptr, 0);
}

// The whole of `source` copied into `target`, converted to its format.
static bool CopyBitmap(HDC screen, HBITMAP target, HBITMAP source, int width,
                       int height) {
  HDC hTo = CreateCompatibleDC(screen);
  HDC hFrom = CreateCompatibleDC(screen);
  bool copied = false;
  if (hTo != nullptr && hFrom != nullptr) {
    HGDIOBJ hOldTo = SelectObject(hTo, target);
    HGDIOBJ hOldFrom = SelectObject(hFrom, source);
    copied = hOldTo != nullptr && hOldFrom != nullptr &&
             BitBlt(hTo, 0, 0, width, height, hFrom, 0, 0, SRCCOPY) != FALSE;
    if (hOldTo != nullptr)
      SelectObject(hTo, hOldTo);
    if (hOldFrom != nullptr)
      SelectObject(hFrom, hOldFrom);
  }
  if (hTo != nullptr)
    DeleteDC(hTo);
  if (hFrom != nullptr)
    DeleteDC(hFrom);
  return copied;
}

// A picture under way: the bitmap it becomes, the one it is drawn in, and
// what its first layer was drawn for.
// The screen's size and depth, as a DC on it tells them.
struct Display {
  int width, height, bits;
};

struct PictureInProgress {
  HBITMAP bitmap = nullptr; // compatible with the display
  HBITMAP drawn = nullptr;  // the bitmap itself, or one of 5-6-5
  HWND frame = nullptr, sketch = nullptr;
  PictureLayout layout = {};
  COLORREF face = 0;
  Display display = {};
};

// Made when the dialog opens: the layer no value changes (the disc's wide
// outline alone is most of the drawing's time) is then not drawn at OK.
// Its display is taken as still current until a WM_DISPLAYCHANGE drops it:
// asking a DC again at OK costs Wine a round trip to its server per query.
static PictureInProgress gPrepared;

static void DropPicture(PictureInProgress *picture) {
  if (picture->drawn != nullptr && picture->drawn != picture->bitmap)
    DeleteObject(picture->drawn);
  if (picture->bitmap != nullptr)
    DeleteObject(picture->bitmap);
  *picture = PictureInProgress();
}

static bool SameLayout(const PictureLayout &a, const PictureLayout &b) {
  return a.picture == b.picture && a.client == b.client &&
         a.dialogOrigin.x == b.dialogOrigin.x &&
         a.dialogOrigin.y == b.dialogOrigin.y &&
         a.sketchOrigin.x == b.sketchOrigin.x &&
         a.sketchOrigin.y == b.sketchOrigin.y;
}

// Calls `draw` with a memory DC compatible with `screen` that has `target`
// selected; false if that DC cannot be made or take the bitmap (nothing is
// drawn then: it would go into the DC's own one-pixel bitmap), or if `draw`
// says so.
template <typename Draw>
static bool DrawInto(HDC screen, HBITMAP target, Draw draw) {
  HDC hMemDC = CreateCompatibleDC(screen);
  if (hMemDC == nullptr)
    return false;
  HGDIOBJ hOldBitmap = SelectObject(hMemDC, target);
  bool drawn = hOldBitmap != nullptr && draw(hMemDC);
  if (hOldBitmap != nullptr)
    SelectObject(hMemDC, hOldBitmap);
  DeleteDC(hMemDC);
  return drawn;
}

static bool ReadDisplay(HDC hScrDC, Display *display) {
  display->width = GetDeviceCaps(hScrDC, HORZRES);
  display->height = GetDeviceCaps(hScrDC, VERTRES);
  display->bits = GetDeviceCaps(hScrDC, BITSPIXEL);
  return display->width > 0 && display->height > 0 && display->bits > 0;
}

// Where the picture's parts lie on `display`, from the open dialog's
// capture frame and sketch area; false without them.
static bool MeasurePicture(HWND frame, HWND sketch, const Display &display,
                           PictureInProgress *picture) {
  RECT rect, client;
  if (frame == nullptr || sketch == nullptr || !GetClientRect(frame, &rect) ||
      !GetClientRect(sketch, &client))
    return false;
  CaptureRect capture =
      ComputeCaptureRect(ToIntRect(rect), display.width, display.height);
  // The frame's pixel (nX, nY) is the picture's (0, 0).
  POINT dialogAt = {0, 0}, sketchAt = {0, 0};
  MapWindowPoints(ghwnd, frame, &dialogAt, 1);
  MapWindowPoints(sketch, frame, &sketchAt, 1);
  picture->frame = frame;
  picture->sketch = sketch;
  PictureLayout &layout = picture->layout;
  layout.picture = IntRect{0, 0, capture.nWidth, capture.nHeight};
  layout.dialogOrigin = POINT{dialogAt.x - capture.nX, dialogAt.y - capture.nY};
  layout.sketchOrigin = POINT{sketchAt.x - capture.nX, sketchAt.y - capture.nY};
  layout.client = ToIntRect(client);
  picture->face = GetSysColor(COLOR_3DFACE);
  picture->display = display;
  return true;
}

// Makes the picture's bitmaps and draws its first layer; false, with
// nothing made, if any of it cannot be.
static bool StartPicture(HDC hScrDC, PictureInProgress *picture) {
  const int width = picture->layout.picture.right;
  const int height = picture->layout.picture.bottom;
  picture->bitmap = CreateCompatibleBitmap(hScrDC, width, height);
  picture->drawn = picture->bitmap;
  // A display of 16 bits keeps 6 bits of green, but a bitmap compatible
  // with it may keep 5 (under Wine it does). Drawn straight into that
  // bitmap, the figures' smoothed edges would be blended at its precision
  // and differ from the screen's; so they are drawn at the display's and
  // then copied, as the screen's pixels were.
  if (picture->bitmap != nullptr && picture->display.bits == 16)
    picture->drawn = CreateFiveSixFiveBitmap(hScrDC, width, height);
  const PictureLayout &layout = picture->layout;
  // The dialog answers no WM_CTLCOLORDLG: its background is the face brush.
  if (picture->bitmap == nullptr || picture->drawn == nullptr ||
      !DrawInto(hScrDC, picture->drawn, [&layout](HDC hdc) {
        return DrawPictureBase(hdc, layout, GetSysColorBrush(COLOR_3DFACE));
      })) {
    DropPicture(picture);
    return false;
  }
  return true;
}

// The open dialog's display, from a DC on its capture frame, and that DC;
// false, with no DC held, without either.
static bool OpenDisplay(HWND frame, HDC *hScrDC, Display *display) {
  *hScrDC = frame != nullptr ? GetDC(frame) : nullptr;
  if (*hScrDC == nullptr)
    return false;
  if (ReadDisplay(*hScrDC, display))
    return true;
  ReleaseDC(frame, *hScrDC);
  *hScrDC = nullptr;
  return false;
}

void PreparePicture() {
  DropPicture(&gPrepared);
  HWND frame = GetDlgItem(ghwnd, IDC_CAPTURE_FRAME);
  HDC hScrDC;
  Display display;
  if (!OpenDisplay(frame, &hScrDC, &display))
    return;
  if (MeasurePicture(frame, GetDlgItem(ghwnd, IDC_SKETCH_AREA), display,
                     &gPrepared))
    StartPicture(hScrDC, &gPrepared);
  ReleaseDC(frame, hScrDC);
}

void DiscardPreparedPicture() { DropPicture(&gPrepared); }

HBITMAP CreateClippedBitmap() {
  // The picture is drawn, not read off the screen: a part of the dialog off
  // the screen, or a window over it, would otherwise be exported with it.
  // Without the capture frame and the sketch area there is nothing to place
  // it by (and GetDC(nullptr) would be the whole screen).
  PictureInProgress picture = gPrepared;
  gPrepared = PictureInProgress();
  PictureInProgress now;
  // The layer made at the opening, unless the dialog or the colour scheme
  // has changed since (a change of display has dropped it).
  if (picture.bitmap == nullptr ||
      !MeasurePicture(picture.frame, picture.sketch, picture.display, &now) ||
      !SameLayout(picture.layout, now.layout) || picture.face != now.face) {
    DropPicture(&picture);
    HWND frame = GetDlgItem(ghwnd, IDC_CAPTURE_FRAME);
    HDC hScrDC;
    Display display;
    if (!OpenDisplay(frame, &hScrDC, &display))
      return nullptr;
    bool started = MeasurePicture(frame, GetDlgItem(ghwnd, IDC_SKETCH_AREA),
                                  display, &picture) &&
                   StartPicture(hScrDC, &picture);
    ReleaseDC(frame, hScrDC);
    if (!started)
      return nullptr;
  }
  // The memory DCs below are compatible with the screen, as the bitmaps are.
  const PictureLayout &layout = picture.layout;
  SketchValues values = ReturnedValues();
  bool made = DrawInto(nullptr, picture.drawn, [&](HDC hdc) {
    return DrawPictureValues(hdc, layout, values);
  });
  if (made && picture.drawn != picture.bitmap)
    made = CopyBitmap(nullptr, picture.bitmap, picture.drawn,
                      layout.picture.right, layout.picture.bottom);
  HBITMAP hBitmap = picture.bitmap;
  // No picture rather than an undefined one.
  if (!made) {
    DropPicture(&picture);
    return nullptr;
  }
  if (picture.drawn != hBitmap)
    DeleteObject(picture.drawn);
  return hBitmap;
}

// CF_BITMAP: the bitmap the picture was drawn in, of the display's format,
// which holds the DIB's pixels. On a display of palette colours the DIB's
// colours come through the system palette, so the bitmap is made back from
// the DIB as before.
static HBITMAP DdbOfPicture(HBITMAP hBitmap, HANDLE hDib, HPALETTE hPal) {
  return hPal != nullptr ? DIBToBitmap(hDib, hPal) : hBitmap;
}

PictureOutcome SendItToTheClipboard(HWND mydialog) {
  HBITMAP hBitmap = CreateClippedBitmap();
  if (hBitmap == nullptr)
    return kPictureNotDrawn;
  // Only a display of palette colours reads its pixels through the system
  // palette; a deeper one gives the same DIB with none.
  BITMAP bm;
  HPALETTE hPal = nullptr;
  if (GetObjectA(hBitmap, sizeof bm, &bm) != 0 &&
      bm.bmBitsPixel * bm.bmPlanes <= 8)
    hPal = GetSystemPalette();
  // Made before the clipboard is taken: a failure leaves what it holds.
  HANDLE hDib = BitmapToDIB(hBitmap, hPal);
  HBITMAP hDdb = hDib != nullptr ? DdbOfPicture(hBitmap, hDib, hPal) : nullptr;
  bool dibTaken = false, ddbTaken = false;
  PictureOutcome outcome = kPictureNotDrawn;
  if (hDib != nullptr && hDdb != nullptr) {
    if (!OpenClipboardSoon(mydialog)) {
      outcome = kClipboardBusy;
    } else {
      EmptyClipboard();
      // A null handle would announce a format rendered on request, which
      // this dialog, about to end, could never deliver: none is passed.
      dibTaken = SetClipboardData(CF_DIB, hDib) != nullptr;
      if (dibTaken) {
        outcome = kPictureStored;
        ddbTaken = SetClipboardData(CF_BITMAP, hDdb) != nullptr;
        HPALETTE hClipPal = CopyOfDefaultPalette();
        if (hClipPal != nullptr && !SetClipboardData(CF_PALETTE, hClipPal))
          DeleteObject(hClipPal);
      }
      CloseClipboard();
    }
  }

  // What the clipboard did not take is ours to free.
  if (hDib != nullptr && !dibTaken)
    GlobalFree(hDib);
  if (hDdb != nullptr && !ddbTaken && hDdb != hBitmap)
    DeleteObject(hDdb);
  if (!(ddbTaken && hDdb == hBitmap))
    DeleteObject(hBitmap);
  if (hPal != nullptr)
    DeleteObject(hPal);
  return outcome;
}
