#include "export/dib_win.h"

#include <string.h>

#include "export/dib_header.h"

int PalEntriesOnDevice(HDC hDC) {
  return PaletteEntryCount(GetDeviceCaps(hDC, PLANES),
                           GetDeviceCaps(hDC, BITSPIXEL));
}

HPALETTE GetSystemPalette() {
  HDC hDC = GetDC(nullptr);
  if (hDC == nullptr)
    return nullptr;
  int n = PalEntriesOnDevice(hDC);
  HGLOBAL hLogPal =
      GlobalAlloc(GHND, sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
  if (hLogPal == nullptr) {
    ReleaseDC(nullptr, hDC);
    return nullptr;
  }
  LOGPALETTE *pLogPal = static_cast<LOGPALETTE *>(GlobalLock(hLogPal));
  if (pLogPal == nullptr) {
    GlobalFree(hLogPal);
    ReleaseDC(nullptr, hDC);
    return nullptr;
  }
  pLogPal->palVersion = 0x300;
  pLogPal->palNumEntries = static_cast<WORD>(n);
  // A display of 16 colours without a settable palette (Windows 95's safe
  // mode, NT 4.0 before its display driver) has no system palette to read:
  // rather none than one of black entries, which would make the picture
  // black.
  HPALETTE hPal = nullptr;
  if (GetSystemPaletteEntries(hDC, 0, n, pLogPal->palPalEntry) != 0)
    hPal = CreatePalette(pLogPal);
  GlobalUnlock(hLogPal);
  GlobalFree(hLogPal);
  ReleaseDC(nullptr, hDC);
  return hPal;
}

HBITMAP DIBToBitmap(HANDLE hDIB, HPALETTE hPal) {
  if (hDIB == nullptr)
    return nullptr;
  char *lpDIB = static_cast<char *>(GlobalLock(hDIB));
  if (lpDIB == nullptr)
    return nullptr;
  char *lpBits = FindDIBBits(lpDIB);
  HDC hDC = GetDC(nullptr);
  if (hDC == nullptr) {
    GlobalUnlock(hDIB);
    return nullptr;
  }
  HPALETTE hOldPal = nullptr;
  if (hPal != nullptr)
    hOldPal = SelectPalette(hDC, hPal, FALSE);
  RealizePalette(hDC);
  HBITMAP hBitmap = CreateDIBitmap(
      hDC, reinterpret_cast<BITMAPINFOHEADER *>(lpDIB), CBM_INIT, lpBits,
      reinterpret_cast<BITMAPINFO *>(lpDIB), DIB_RGB_COLORS);
  if (hOldPal != nullptr)
    SelectPalette(hDC, hOldPal, FALSE);
  ReleaseDC(nullptr, hDC);
  GlobalUnlock(hDIB);
  return hBitmap;
}

// The header of a DIB of the bitmap, before the platform tells its size.
static BITMAPINFOHEADER HeaderFor(const BITMAP &bm) {
  BITMAPINFOHEADER bi;
  memset(&bi, 0, sizeof bi);
  bi.biSize = sizeof(BITMAPINFOHEADER);
  bi.biWidth = bm.bmWidth;
  bi.biHeight = bm.bmHeight;
  bi.biPlanes = 1;
  bi.biBitCount = DibBitCount(bm.bmPlanes, bm.bmBitsPixel);
  bi.biCompression = BI_RGB;
  return bi;
}

// First pass: a block of header and colour table, which the platform fills
// in, the image size told. Null when no block can be had.
static HANDLE SizedHeader(HDC hDC, HBITMAP hBitmap, const BITMAP &bm,
                          BITMAPINFOHEADER *bi) {
  const DWORD dwLen = bi->biSize + PaletteSize(reinterpret_cast<char *>(bi));
  HANDLE hDIB = GlobalAlloc(GHND, dwLen);
  char *lpbi =
      hDIB != nullptr ? static_cast<char *>(GlobalLock(hDIB)) : nullptr;
  if (lpbi == nullptr) {
    if (hDIB != nullptr)
      GlobalFree(hDIB);
    return nullptr;
  }
  memcpy(lpbi, bi, sizeof *bi);
  GetDIBits(hDC, hBitmap, 0, static_cast<UINT>(bi->biHeight), nullptr,
            reinterpret_cast<BITMAPINFO *>(lpbi), DIB_RGB_COLORS);
  memcpy(bi, lpbi, sizeof *bi);
  GlobalUnlock(hDIB);
  if (bi->biSizeImage == 0)
    bi->biSizeImage = DibImageSize(bi->biBitCount, bm.bmWidth, bm.bmHeight);
  return hDIB;
}

// Second pass: the block grown to hold the pixels, read once, straight into
// it. Null, the block freed, when either fails.
static HANDLE WithPixels(HDC hDC, HBITMAP hBitmap, HANDLE hDIB,
                         BITMAPINFOHEADER bi) {
  const DWORD dwLen =
      bi.biSize + PaletteSize(reinterpret_cast<char *>(&bi)) + bi.biSizeImage;
  HANDLE hGrown = GlobalReAlloc(hDIB, dwLen, 0);
  if (hGrown == nullptr) {
    GlobalFree(hDIB);
    return nullptr;
  }
  char *lpbi = static_cast<char *>(GlobalLock(hGrown));
  int lines = 0;
  if (lpbi != nullptr) {
    lines = GetDIBits(hDC, hBitmap, 0, static_cast<UINT>(bi.biHeight),
                      lpbi + bi.biSize + PaletteSize(lpbi),
                      reinterpret_cast<BITMAPINFO *>(lpbi), DIB_RGB_COLORS);
    GlobalUnlock(hGrown);
  }
  if (lines == 0) {
    GlobalFree(hGrown);
    return nullptr;
  }
  return hGrown;
}

HANDLE BitmapToDIB(HBITMAP hBitmap, HPALETTE hPal) {
  BITMAP bm;
  if (hBitmap == nullptr || GetObjectA(hBitmap, sizeof bm, &bm) == 0)
    return nullptr;
  if (hPal == nullptr)
    hPal = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  BITMAPINFOHEADER bi = HeaderFor(bm);

  HDC hDC = GetDC(nullptr);
  HPALETTE hOldPal = SelectPalette(hDC, hPal, FALSE);
  RealizePalette(hDC);
  HANDLE hDIB = SizedHeader(hDC, hBitmap, bm, &bi);
  if (hDIB != nullptr)
    hDIB = WithPixels(hDC, hBitmap, hDIB, bi);
  SelectPalette(hDC, hOldPal, TRUE);
  RealizePalette(hDC);
  ReleaseDC(nullptr, hDC);
  return hDIB;
}
