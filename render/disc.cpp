#include "render/disc_layout.h"
#include "render/render.h"
#include "resources/orbitrace_res.h"
#include "sketch/sketch_state.h"

static const COLORREF kDiscColour = RGB(230, 87, 26);

static IntRect FromRect(const RECT &rc) {
  return IntRect{rc.left, rc.top, rc.right, rc.bottom};
}

void SelectEllipseClip(HDC hdc, const RECT &rect) {
  BeginPath(hdc);
  Ellipse(hdc, rect.left, rect.top, rect.right, rect.bottom);
  EndPath(hdc);
  SelectClipPath(hdc, RGN_COPY);
}

void DrawBackroundEllipse(HDC hdc) {
  // Without the sketch area's rectangle there is no disc to place.
  RECT rc;
  if (!GetClientRect(GetDlgItem(ghwnd, IDC_SKETCH_AREA), &rc))
    return;
  HPEN pen = CreatePen(PS_SOLID, 2, kDiscColour);
  HBRUSH brush = CreateSolidBrush(kDiscColour);
  HGDIOBJ hpenOld = SelectObject(hdc, pen);
  HGDIOBJ hbrushOld = SelectObject(hdc, brush);

  DiscLayout layout = LayoutDisc(FromRect(rc));
  RECT clip = {layout.clip.left, layout.clip.top, layout.clip.right,
               layout.clip.bottom};
  SelectEllipseClip(hdc, clip);
  Ellipse(hdc, layout.disc.left, layout.disc.top, layout.disc.right,
          layout.disc.bottom);

  SelectObject(hdc, hpenOld);
  DeleteObject(pen);
  SelectObject(hdc, hbrushOld);
  DeleteObject(brush);
}
