// A layout that reached for a Windows type: it would build only in the
// cross build, and break the native one far from here.
#include "render/disc_layout.h"
#include <windows.h>
#include "render/render_win.h"

RECT DiscRect(int width, int height) { return RECT{0, 0, width, height}; }
