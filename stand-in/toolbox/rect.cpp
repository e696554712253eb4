// SetRect: fills a rectangle from its four sides.
#include "host/toolbox.h"

extern "C" TOOLBOX_API void SetRect(Rect* r, int16_t left, int16_t top, int16_t right,
                                    int16_t bottom) {
  if (r == nullptr) return;
  r->top = top;
  r->left = left;
  r->bottom = bottom;
  r->right = right;
}
