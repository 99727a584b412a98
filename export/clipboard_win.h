// The sketch's picture, drawn in memory, onto the clipboard.
#pragma once

#include <windows.h>

// Draws, for the open dialog, the part of its picture that no value
// changes, so that OK has only the rest to draw; made again at OK if the
// dialog or the colour scheme has changed by then, or if the display has
// (the dialog's WM_DISPLAYCHANGE discards it).
void PreparePicture();
// Frees what PreparePicture made, when no OK will take it.
void DiscardPreparedPicture();
// The picture of the values OK returns, or null.
HBITMAP CreateClippedBitmap();
// Whether the picture of the values OK returns went onto the clipboard.
enum PictureOutcome {
  kPictureStored,
  kClipboardBusy,   // another program held it past the retries
  kPictureNotDrawn, // no memory or GDI objects for it; the clipboard is
                    // left as it was unless it refused the DIB itself
};
PictureOutcome SendItToTheClipboard(HWND mydialog);
