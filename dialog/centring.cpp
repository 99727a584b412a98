#include "dialog/centring.h"

#include <limits.h>

IntPoint CentredOrigin(const IntRect &owner, const IntRect &dialog) {
  // 64-bit so that no rectangle, however odd, overflows on the way.
  const long long spareX = (static_cast<long long>(owner.right) - owner.left) -
                           (static_cast<long long>(dialog.right) - dialog.left);
  const long long spareY = (static_cast<long long>(owner.bottom) - owner.top) -
                           (static_cast<long long>(dialog.bottom) - dialog.top);
  IntPoint origin;
  origin.x = ClampToInt(owner.left + spareX / 2);
  origin.y = ClampToInt(owner.top + spareY / 2);
  return origin;
}
