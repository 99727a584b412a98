#include "stand-in-host/clipboard_picture.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <cctype>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

bool OpenClipboardWithRetry(DWORD waitMs) {
  const DWORD end = GetTickCount() + waitMs;
  for (;;) {
    if (OpenClipboard(nullptr))
      return true;
    if (LONG(end - GetTickCount()) <= 0)
      return false;
    Sleep(20);
  }
}

bool ClipboardFormats(std::vector<UINT> *formats, std::string *error) {
  formats->clear();
  if (!OpenClipboardWithRetry()) {
    *error = "cannot open the clipboard";
    return false;
  }
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f))
    formats->push_back(f);
  CloseClipboard();
  return true;
}

std::string ClipboardFormatName(UINT format) {
  switch (format) {
  case CF_TEXT:
    return "CF_TEXT";
  case CF_BITMAP:
    return "CF_BITMAP";
  case CF_METAFILEPICT:
    return "CF_METAFILEPICT";
  case CF_DIB:
    return "CF_DIB";
  case CF_PALETTE:
    return "CF_PALETTE";
  case CF_UNICODETEXT:
    return "CF_UNICODETEXT";
  case CF_ENHMETAFILE:
    return "CF_ENHMETAFILE";
  case CF_LOCALE:
    return "CF_LOCALE";
  case CF_DIBV5:
    return "CF_DIBV5";
  default:
    return std::to_string(format);
  }
}

namespace {

uint32_t Read32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
         uint32_t(p[3]) << 24;
}

// Scales the field of `value` under `mask` to 0..255.
uint8_t Channel(uint32_t value, uint32_t mask) {
  if (!mask)
    return 0;
  int shift = 0;
  while (!(mask >> shift & 1))
    ++shift;
  const uint32_t max = mask >> shift;
  return uint8_t(((value & mask) >> shift) * 255u / max);
}

bool Fail(std::string *error, const std::string &what) {
  if (error)
    *error = what;
  return false;
}

} // namespace

size_t DibPixelOffset(const uint8_t *dib, size_t size) {
  if (size < sizeof(BITMAPINFOHEADER))
    return 0;
  BITMAPINFOHEADER h;
  memcpy(&h, dib, sizeof h);
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size)
    return 0;
  size_t offset = h.biSize;
  // Masks follow a plain header; the larger headers hold them inside.
  if (h.biCompression == BI_BITFIELDS && h.biSize == sizeof h)
    offset += 12;
  size_t colours = h.biClrUsed;
  if (!colours && h.biBitCount <= 8)
    colours = size_t(1) << h.biBitCount;
  return offset + colours * 4;
}

namespace {

// False, with the reason, for a header this reader does not take.
bool TakenHeader(const BITMAPINFOHEADER &h, std::string *error) {
  const int bpp = h.biBitCount;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1)
    return Fail(error, "bad bitmap dimensions");
  if (h.biCompression != BI_RGB &&
      !(h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32)))
    return Fail(error, "compressed bitmaps are not supported");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return Fail(error, "unsupported bit depth " + std::to_string(bpp));
  return true;
}

struct Masks {
  uint32_t red, green, blue;
};

// The channels' masks of 16 and 32 bits a pixel: 5-5-5 and 8-8-8 unless
// the block gives its own.
Masks MasksOf(const uint8_t *dib, const BITMAPINFOHEADER &h) {
  Masks m = {0x7C00, 0x03E0, 0x001F};
  if (h.biBitCount == 32)
    m = {0x00FF0000, 0x0000FF00, 0x000000FF};
  if (h.biCompression == BI_BITFIELDS) {
    m = {Read32(dib + h.biSize), Read32(dib + h.biSize + 4),
         Read32(dib + h.biSize + 8)};
    if (h.biSize > sizeof h) // the masks are the first fields after it
      m = {Read32(dib + 40), Read32(dib + 44), Read32(dib + 48)};
  }
  return m;
}

// The pixel at `x` of `row` as red, green and blue. False for an index
// beyond the colour table of `tableEntries` entries at `table`.
bool PixelRgb(const uint8_t *row, int x, int bpp, const uint8_t *table,
              size_t tableEntries, const Masks &masks, uint8_t *out) {
  if (bpp <= 8) {
    const int perByte = 8 / bpp;
    const int shift = 8 - bpp * (x % perByte + 1);
    const size_t index = (row[x / perByte] >> shift) & ((1 << bpp) - 1);
    if (index >= tableEntries)
      return false;
    const uint8_t *quad = table + index * 4; // blue, green, red, reserved
    out[0] = quad[2];
    out[1] = quad[1];
    out[2] = quad[0];
  } else if (bpp == 24) {
    out[0] = row[x * 3 + 2];
    out[1] = row[x * 3 + 1];
    out[2] = row[x * 3];
  } else {
    const uint32_t v = bpp == 16 ? uint32_t(row[x * 2] | row[x * 2 + 1] << 8)
                                 : Read32(row + x * 4);
    out[0] = Channel(v, masks.red);
    out[1] = Channel(v, masks.green);
    out[2] = Channel(v, masks.blue);
  }
  return true;
}

} // namespace

bool DibToRgb(const uint8_t *dib, size_t size, DibImage *image,
              std::string *error) {
  const size_t pixels = DibPixelOffset(dib, size);
  if (!pixels || pixels > size)
    return Fail(error, "not a device-independent bitmap");
  BITMAPINFOHEADER h;
  memcpy(&h, dib, sizeof h);
  if (!TakenHeader(h, error))
    return false;
  const int bpp = h.biBitCount;
  const int width = h.biWidth;
  const bool bottomUp = h.biHeight > 0;
  const int height = bottomUp ? h.biHeight : -h.biHeight;
  const size_t stride = (size_t(width) * bpp + 31) / 32 * 4;
  if (pixels + stride * height > size)
    return Fail(error, "bitmap block is shorter than its pixels");

  const Masks masks = MasksOf(dib, h);
  const uint8_t *table = dib + h.biSize;
  const size_t tableEntries = bpp <= 8 ? (pixels - h.biSize) / 4 : 0;
  image->width = width;
  image->height = height;
  image->bitsPerPixel = bpp;
  image->rgb.assign(size_t(width) * height * 3, 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t *row =
        dib + pixels + stride * (bottomUp ? height - 1 - y : y);
    uint8_t *out = &image->rgb[size_t(y) * width * 3];
    for (int x = 0; x < width; ++x, out += 3)
      if (!PixelRgb(row, x, bpp, table, tableEntries, masks, out))
        return Fail(error, "pixel index beyond the colour table");
  }
  return true;
}

bool ReadClipboardDib(std::vector<uint8_t> *dib, std::string *error) {
  if (!OpenClipboardWithRetry())
    return Fail(error, "cannot open the clipboard");
  bool ok = false;
  HANDLE data = GetClipboardData(CF_DIB);
  if (!data) {
    Fail(error, "no CF_DIB on the clipboard");
  } else if (const uint8_t *p =
                 static_cast<const uint8_t *>(GlobalLock(data))) {
    dib->assign(p, p + GlobalSize(data));
    GlobalUnlock(data);
    ok = true;
  } else {
    Fail(error, "cannot lock the clipboard's CF_DIB");
  }
  CloseClipboard();
  return ok;
}

bool SaveClipboardPicture(const std::string &file, DibImage *info,
                          std::string *error) {
  std::string lower = file;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  auto endsWith = [&lower](const char *tail) {
    const size_t n = strlen(tail);
    return lower.size() >= n && lower.compare(lower.size() - n, n, tail) == 0;
  };
  const bool bmp = endsWith(".bmp"), png = endsWith(".png");
  if (!bmp && !png)
    return Fail(error, "picture file must end in .bmp or .png: " + file);

  std::vector<uint8_t> dib;
  if (!ReadClipboardDib(&dib, error))
    return false;
  DibImage image;
  if (!DibToRgb(dib.data(), dib.size(), &image, error))
    return false;
  if (info)
    *info = image;

  if (png)
    return WritePng(file, image, error);

  BITMAPFILEHEADER header;
  memset(&header, 0, sizeof header);
  header.bfType = 0x4D42; // "BM"
  header.bfSize = DWORD(sizeof header + dib.size());
  header.bfOffBits =
      DWORD(sizeof header + DibPixelOffset(dib.data(), dib.size()));
  FILE *out = fopen(file.c_str(), "wb");
  if (!out)
    return Fail(error, "cannot write " + file);
  const bool written = fwrite(&header, sizeof header, 1, out) == 1 &&
                       fwrite(dib.data(), 1, dib.size(), out) == dib.size();
  if (fclose(out) != 0 || !written)
    return Fail(error, "cannot write " + file);
  return true;
}

bool WritePng(const std::string &file, const DibImage &image,
              std::string *error) {
  if (!stbi_write_png(file.c_str(), image.width, image.height, 3,
                      image.rgb.data(), image.width * 3))
    return Fail(error, "cannot write " + file);
  return true;
}

bool CopyDCPixels(HDC hdc, int width, int height,
                  std::vector<uint32_t> *pixels) {
  BITMAPINFO bmi;
  memset(&bmi, 0, sizeof bmi);
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height; // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HBITMAP section =
      CreateDIBSection(hdc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section == nullptr)
    return false;
  HDC mem = CreateCompatibleDC(hdc);
  HGDIOBJ old = SelectObject(mem, section);
  const bool copied = BitBlt(mem, 0, 0, width, height, hdc, 0, 0, SRCCOPY) != 0;
  if (copied) {
    const uint32_t *p = static_cast<const uint32_t *>(bits);
    pixels->assign(p, p + size_t(width) * height);
    for (uint32_t &px : *pixels)
      px &= 0xFFFFFF;
  }
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(section);
  return copied;
}

bool CaptureWindow(HWND window, DibImage *image, std::string *error) {
  RECT rc;
  if (!GetWindowRect(window, &rc))
    return Fail(error, "no such window");
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  std::vector<uint32_t> pixels;
  HDC screen = GetWindowDC(window);
  const bool copied = CopyDCPixels(screen, width, height, &pixels);
  ReleaseDC(window, screen);
  if (!copied)
    return Fail(error, "cannot copy the window's pixels");
  image->width = width;
  image->height = height;
  image->bitsPerPixel = 32;
  image->rgb.resize(pixels.size() * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    image->rgb[i * 3 + 0] = uint8_t(pixels[i] >> 16);
    image->rgb[i * 3 + 1] = uint8_t(pixels[i] >> 8);
    image->rgb[i * 3 + 2] = uint8_t(pixels[i]);
  }
  return true;
}
