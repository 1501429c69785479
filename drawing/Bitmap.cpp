#include <algorithm>

#include "drawing/LICE.h"

LICE_MemBitmap::LICE_MemBitmap(int width, int height) {
  resize(width, height);
}

void LICE_MemBitmap::resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  // Either dimension 0 means no pixels at all, so getBits() of an empty bitmap is never read.
  if (width == 0 || height == 0) width = height = 0;
  mWidth = width;
  mHeight = height;
  mPixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
}

LICE_pixel LICE_GetPixel(const LICE_IBitmap* bitmap, int x, int y) {
  if (!bitmap || x < 0 || y < 0 || x >= bitmap->getWidth() || y >= bitmap->getHeight()) return 0;
  return bitmap->getBits()[static_cast<std::size_t>(y) * bitmap->getRowSpan() + x];
}
