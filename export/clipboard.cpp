#include "export/clipboard.h"

#include "export/capture_rect.h"
#include "export/dib.h"
#include "render/win32_rect.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state.h"

HBITMAP CreateClippedBitmap() {
  // Without the capture frame there is nothing to capture (and
  // GetDC(nullptr) would be the whole screen).
  HWND frame = GetDlgItem(ghwnd, IDC_CAPTURE_FRAME);
  RECT rect;
  if (frame == nullptr || !GetClientRect(frame, &rect))
    return nullptr;
  HDC hScrDC = GetDC(frame);
  HDC hMemDC = CreateCompatibleDC(hScrDC);
  int xScrn = GetDeviceCaps(hScrDC, HORZRES);
  int yScrn = GetDeviceCaps(hScrDC, VERTRES);
  CaptureRect capture = ComputeCaptureRect(ToIntRect(rect), xScrn, yScrn);

  HBITMAP hBitmap =
      CreateCompatibleBitmap(hScrDC, capture.nWidth, capture.nHeight);
  HGDIOBJ hOldBitmap = SelectObject(hMemDC, hBitmap);
  BitBlt(hMemDC, 0, 0, capture.nWidth, capture.nHeight, hScrDC, capture.nX,
         capture.nY, SRCCOPY);
  hBitmap = static_cast<HBITMAP>(SelectObject(hMemDC, hOldBitmap));
  ReleaseDC(frame, hScrDC);
  DeleteDC(hMemDC);
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
// picture. A few more within about 100 ms, then give up as before.
static const int kOpenClipboardRetries = 10;
static const DWORD kOpenClipboardWaitMs = 10;

static bool OpenClipboardSoon(HWND owner) {
  for (int retry = 0;; ++retry) {
    if (OpenClipboard(owner))
      return true;
    if (retry == kOpenClipboardRetries)
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
