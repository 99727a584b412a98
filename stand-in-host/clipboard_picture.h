// Reads back the picture a plug-in left on the clipboard.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Opens the clipboard, retrying while another program holds it: for up to
// `waitMs`, a minute by default, since under Wine another process's
// clipboard sync can hold it for seconds on a busy machine.
bool OpenClipboardWithRetry(DWORD waitMs = 60000);

// The formats on the clipboard, in the clipboard's order.
bool ClipboardFormats(std::vector<UINT> *formats, std::string *error);
// "CF_DIB", "CF_BITMAP", "CF_PALETTE", ...; others as their number.
std::string ClipboardFormatName(UINT format);

struct DibImage {
  int width = 0;
  int height = 0; // always positive; rows below are top-down
  int bitsPerPixel = 0;
  std::vector<uint8_t> rgb; // width * height * 3 bytes
};

// Size of the header plus colour table (and bit masks) in front of the
// pixels of a packed DIB; 0 if the header is not understood.
size_t DibPixelOffset(const uint8_t *dib, size_t size);

// Converts a packed DIB (header, colour table, pixels) to top-down RGB rows.
// Handles uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel.
bool DibToRgb(const uint8_t *dib, size_t size, DibImage *image,
              std::string *error);

// The clipboard's CF_DIB block, copied.
bool ReadClipboardDib(std::vector<uint8_t> *dib, std::string *error);

// Saves the clipboard's CF_DIB as a .bmp (the block unchanged behind a file
// header) or a .png, chosen by the file name's ending.
bool SaveClipboardPicture(const std::string &file, DibImage *info,
                          std::string *error);

// Copies a width x height area of `hdc` from (0, 0) as 0x00RRGGBB values in
// top-down rows.
bool CopyDCPixels(HDC hdc, int width, int height,
                  std::vector<uint32_t> *pixels);

// Captures what a window shows on the screen, frame and caption included.
bool CaptureWindow(HWND window, DibImage *image, std::string *error);

// Writes top-down RGB rows as a PNG file.
bool WritePng(const std::string &file, const DibImage &image,
              std::string *error);
