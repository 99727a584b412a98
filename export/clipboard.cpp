#include "export/clipboard.h"

#include <string.h>

#include "export/capture_rect.h"
#include "export/dib.h"
#include "render/render.h"
#include "render/win32_rect.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state.h"

// The four values OK returns, just saved from the combo boxes.
static SketchValues ReturnedValues() {
  SketchValues values;
  memcpy(values.horizontal, gXval2, sizeof values.horizontal);
  memcpy(values.vertical, gYval2, sizeof values.vertical);
  memcpy(values.rim, gEdge2, sizeof values.rim);
  memcpy(values.hour, gPosition2, sizeof values.hour);
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

// The picture drawn into `target` through a memory DC compatible with
// `screen`; false, with nothing drawn, if that DC cannot be made.
static bool DrawPictureInto(HDC screen, HBITMAP target,
                            const PictureLayout &layout) {
  HDC hMemDC = CreateCompatibleDC(screen);
  if (hMemDC == nullptr)
    return false;
  HGDIOBJ hOldBitmap = SelectObject(hMemDC, target);
  // The dialog answers no WM_CTLCOLORDLG: its background is the face brush.
  DrawPicture(hMemDC, layout, GetSysColorBrush(COLOR_3DFACE), ReturnedValues());
  SelectObject(hMemDC, hOldBitmap);
  DeleteDC(hMemDC);
  return true;
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
    copied = BitBlt(hTo, 0, 0, width, height, hFrom, 0, 0, SRCCOPY) != FALSE;
    SelectObject(hTo, hOldTo);
    SelectObject(hFrom, hOldFrom);
  }
  if (hTo != nullptr)
    DeleteDC(hTo);
  if (hFrom != nullptr)
    DeleteDC(hFrom);
  return copied;
}

HBITMAP CreateClippedBitmap() {
  // The picture is drawn, not read off the screen: a part of the dialog off
  // the screen, or a window over it, would otherwise be exported with it.
  // Without the capture frame and the sketch area there is nothing to place
  // it by.
  HWND frame = GetDlgItem(ghwnd, IDC_CAPTURE_FRAME);
  HWND sketch = GetDlgItem(ghwnd, IDC_SKETCH_AREA);
  RECT rect, client;
  if (frame == nullptr || sketch == nullptr || !GetClientRect(frame, &rect) ||
      !GetClientRect(sketch, &client))
    return nullptr;
  // The screen still gives the picture's size, format and font.
  HDC hScrDC = GetDC(frame);
  if (hScrDC == nullptr)
    return nullptr;
  int xScrn = GetDeviceCaps(hScrDC, HORZRES);
  int yScrn = GetDeviceCaps(hScrDC, VERTRES);
  CaptureRect capture = ComputeCaptureRect(ToIntRect(rect), xScrn, yScrn);
  const int width = capture.nWidth, height = capture.nHeight;

  // The frame's pixel (nX, nY) is the picture's (0, 0).
  POINT dialogAt = {0, 0}, sketchAt = {0, 0};
  MapWindowPoints(ghwnd, frame, &dialogAt, 1);
  MapWindowPoints(sketch, frame, &sketchAt, 1);
  PictureLayout layout;
  layout.picture = IntRect{0, 0, width, height};
  layout.dialogOrigin = POINT{dialogAt.x - capture.nX, dialogAt.y - capture.nY};
  layout.sketchOrigin = POINT{sketchAt.x - capture.nX, sketchAt.y - capture.nY};
  layout.client = ToIntRect(client);

  // A display of 16 bits keeps 6 bits of green, but a bitmap compatible
  // with it may keep 5 (under Wine it does). Drawn straight into that
  // bitmap, the figures' smoothed edges would be blended at its precision
  // and differ from the screen's; so they are drawn at the display's and
  // then copied, as the screen's pixels were.
  HBITMAP hBitmap = CreateCompatibleBitmap(hScrDC, width, height);
  HBITMAP hDrawn = hBitmap;
  if (hBitmap != nullptr && GetDeviceCaps(hScrDC, BITSPIXEL) == 16)
    hDrawn = CreateFiveSixFiveBitmap(hScrDC, width, height);
  bool made = hBitmap != nullptr && hDrawn != nullptr &&
              DrawPictureInto(hScrDC, hDrawn, layout);
  if (made && hDrawn != hBitmap)
    made = CopyBitmap(hScrDC, hBitmap, hDrawn, width, height);
  ReleaseDC(frame, hScrDC);
  if (hDrawn != nullptr && hDrawn != hBitmap)
    DeleteObject(hDrawn);
  // No picture rather than an undefined one.
  if (!made && hBitmap != nullptr) {
    DeleteObject(hBitmap);
    hBitmap = nullptr;
  }
  return hBitmap;
}

// The clipboard frees what it owns, so it gets a palette of its own with the
// default palette's colours: handing it the stock object itself would have
// the stock palette deleted at the next EmptyClipboard.
static HPALETTE CopyOfDefaultPalette() {
  HGDIOBJ stock = GetStockObject(DEFAULT_PALETTE);
  struct {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY entries[256];
  } pal;
  UINT count =
      GetPaletteEntries(static_cast<HPALETTE>(stock), 0, 256, pal.entries);
  if (count == 0)
    return nullptr;
  pal.palVersion = 0x300;
  pal.palNumEntries = static_cast<WORD>(count);
  return CreatePalette(reinterpret_cast<LOGPALETTE *>(&pal));
}

// Clipboard managers, clipboard history and remote-desktop clipboard sync
// hold the clipboard for milliseconds: one failed attempt would lose the
// picture. More attempts for about 100 ms, then give up as before. Measured
// by the clock, since a Sleep(10) lasts a whole timer tick on Windows
// (about 15.6 ms).
static const DWORD kOpenClipboardForMs = 100;
static const DWORD kOpenClipboardWaitMs = 10;

static bool OpenClipboardSoon(HWND owner) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (OpenClipboard(owner))
      return true;
    // Unsigned difference: right across the counter's wrap as well.
    if (GetTickCount() - start >= kOpenClipboardForMs)
      return false;
    Sleep(kOpenClipboardWaitMs);
  }
}

void SendItToTheClipboard(HWND mydialog) {
  HPALETTE hPal = nullptr;
  HBITMAP hBitmap = CreateClippedBitmap();
  if (hBitmap != nullptr)
    hPal = GetSystemPalette();

  if (OpenClipboardSoon(mydialog)) {
    EmptyClipboard();
    if (hBitmap != nullptr) {
      // A null handle would announce a format rendered on request, which
      // this dialog, about to end, could never deliver: such a format is
      // left out instead.
      HANDLE hDib = BitmapToDIB(hBitmap, hPal);
      bool dibTaken = hDib != nullptr && SetClipboardData(CF_DIB, hDib);
      HBITMAP hDdb = DIBToBitmap(hDib, hPal);
      if (hDdb != nullptr && !SetClipboardData(CF_BITMAP, hDdb))
        DeleteObject(hDdb);
      if (hDib != nullptr && !dibTaken)
        GlobalFree(hDib);
      HPALETTE hClipPal = CopyOfDefaultPalette();
      if (hClipPal != nullptr && !SetClipboardData(CF_PALETTE, hClipPal))
        DeleteObject(hClipPal);
    }
    CloseClipboard();
  }

  // Neither went to the clipboard: they are ours to free.
  if (hPal != nullptr)
    DeleteObject(hPal);
  if (hBitmap != nullptr)
    DeleteObject(hBitmap);
}
