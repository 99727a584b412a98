#include "render/disc_layout.h"

static IntRect Inset(const IntRect &r, int by) {
  IntRect out = {r.left + by, r.top + by, r.right - by, r.bottom - by};
  return out;
}

DiscLayout LayoutDisc(const IntRect &client) {
  DiscLayout layout;
  layout.clip = client;
  layout.disc = Inset(client, 6);
  return layout;
}

IntRect CupClipRect(const IntRect &client) { return Inset(client, 5); }
