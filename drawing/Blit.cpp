#include <algorithm>
#include <cstring>

#include "drawing/Blend.h"
#include "drawing/LICE.h"

namespace {

using namespace lice_detail;

struct Span {
  int destX, destY, srcX, srcY, width, height;
};

// Clips a rectangle of width x height at (destX, destY) against [0, destW) x [0, destH), moving
// the source origin by as much as the destination's was moved. Returns false when nothing is left.
bool ClipToDest(Span& s, int destW, int destH) {
  if (s.destX < 0) {
    s.width += s.destX;
    s.srcX -= s.destX;
    s.destX = 0;
  }
  if (s.destY < 0) {
    s.height += s.destY;
    s.srcY -= s.destY;
    s.destY = 0;
  }
  s.width = std::min(s.width, destW - s.destX);
  s.height = std::min(s.height, destH - s.destY);
  return s.width > 0 && s.height > 0;
}

bool ClipToSource(Span& s, int srcW, int srcH) {
  if (s.srcX < 0) {
    s.width += s.srcX;
    s.destX -= s.srcX;
    s.srcX = 0;
  }
  if (s.srcY < 0) {
    s.height += s.srcY;
    s.destY -= s.srcY;
    s.srcY = 0;
  }
  s.width = std::min(s.width, srcW - s.srcX);
  s.height = std::min(s.height, srcH - s.srcY);
  return s.width > 0 && s.height > 0;
}

// Far beyond any bitmap, yet small enough that the clipping's sums of two or three such values
// cannot overflow an int.
int ClampCoord(int v) {
  return std::clamp(v, -(1 << 28), 1 << 28);
}

template <typename Op>
void BlendRows(LICE_pixel* d, int dSpan, const LICE_pixel* s, int sSpan, int w, int h, Op op) {
  for (int y = 0; y < h; ++y, d += dSpan, s += sSpan) {
    for (int x = 0; x < w; ++x) d[x] = op(d[x], s[x]);
  }
}

template <typename Op>
void FillRows(LICE_pixel* d, int dSpan, int w, int h, Op op) {
  for (int y = 0; y < h; ++y, d += dSpan) {
    for (int x = 0; x < w; ++x) d[x] = op(d[x]);
  }
}

}  // namespace

void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int destX, int destY, int srcX,
               int srcY, int width, int height, float weight, int mode) {
  if (!dest || !src || width <= 0 || height <= 0) return;
  const int w256 = WeightToInt(weight);
  if (w256 == 0) return;
  Span s{ClampCoord(destX), ClampCoord(destY), ClampCoord(srcX),
         ClampCoord(srcY),  ClampCoord(width), ClampCoord(height)};
  if (!ClipToSource(s, src->getWidth(), src->getHeight())) return;
  if (!ClipToDest(s, dest->getWidth(), dest->getHeight())) return;

  const int dSpan = dest->getRowSpan();
  const int sSpan = src->getRowSpan();
  LICE_pixel* d = dest->getBits() + static_cast<std::ptrdiff_t>(s.destY) * dSpan + s.destX;
  const LICE_pixel* p = src->getBits() + static_cast<std::ptrdiff_t>(s.srcY) * sSpan + s.srcX;
  const bool useAlpha = (mode & LICE_BLIT_USE_ALPHA) != 0;

  switch (mode & LICE_BLIT_MODE_MASK) {
    case LICE_BLIT_MODE_ADD:
      if (useAlpha) {
        BlendRows(d, dSpan, p, sSpan, s.width, s.height, [w256](LICE_pixel dp, LICE_pixel sp) {
          return Add(dp, sp, ScaleByAlpha(w256, LICE_GETA(sp)));
        });
      } else {
        BlendRows(d, dSpan, p, sSpan, s.width, s.height,
                  [w256](LICE_pixel dp, LICE_pixel sp) { return Add(dp, sp, w256); });
      }
      return;
    case LICE_BLIT_MODE_DODGE:
      if (useAlpha) {
        BlendRows(d, dSpan, p, sSpan, s.width, s.height, [w256](LICE_pixel dp, LICE_pixel sp) {
          return Dodge(dp, sp, ScaleByAlpha(w256, LICE_GETA(sp)));
        });
      } else {
        BlendRows(d, dSpan, p, sSpan, s.width, s.height,
                  [w256](LICE_pixel dp, LICE_pixel sp) { return Dodge(dp, sp, w256); });
      }
      return;
    default:  // COPY, and modes this library does not know
      break;
  }
  if (useAlpha) {
    BlendRows(d, dSpan, p, sSpan, s.width, s.height, [w256](LICE_pixel dp, LICE_pixel sp) {
      return Over(dp, sp, ScaleByAlpha(w256, LICE_GETA(sp)));
    });
  } else if (w256 == 256) {
    // Source and destination may be the same bitmap with overlapping rectangles.
    const bool upward = src == dest && s.srcY < s.destY;
    for (int y = 0; y < s.height; ++y) {
      const int row = upward ? s.height - 1 - y : y;
      std::memmove(d + static_cast<std::ptrdiff_t>(row) * dSpan,
                   p + static_cast<std::ptrdiff_t>(row) * sSpan,
                   static_cast<std::size_t>(s.width) * sizeof(LICE_pixel));
    }
  } else {
    BlendRows(d, dSpan, p, sSpan, s.width, s.height,
              [w256](LICE_pixel dp, LICE_pixel sp) { return MixAll(dp, sp, w256); });
  }
}

void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int width, int height, LICE_pixel color,
                   float weight, int mode) {
  if (!dest || width <= 0 || height <= 0) return;
  int w256 = WeightToInt(weight);
  if (mode & LICE_BLIT_USE_ALPHA) w256 = ScaleByAlpha(w256, LICE_GETA(color));
  if (w256 == 0) return;
  Span s{ClampCoord(x), ClampCoord(y), 0, 0, ClampCoord(width), ClampCoord(height)};
  if (!ClipToDest(s, dest->getWidth(), dest->getHeight())) return;
  const int span = dest->getRowSpan();
  LICE_pixel* d = dest->getBits() + static_cast<std::ptrdiff_t>(s.destY) * span + s.destX;

  switch (mode & LICE_BLIT_MODE_MASK) {
    case LICE_BLIT_MODE_ADD:
      FillRows(d, span, s.width, s.height, [=](LICE_pixel dp) { return Add(dp, color, w256); });
      return;
    case LICE_BLIT_MODE_DODGE:
      FillRows(d, span, s.width, s.height, [=](LICE_pixel dp) { return Dodge(dp, color, w256); });
      return;
    default:
      break;
  }
  if (mode & LICE_BLIT_USE_ALPHA) {
    FillRows(d, span, s.width, s.height, [=](LICE_pixel dp) { return Over(dp, color, w256); });
  } else if (w256 == 256) {
    FillRows(d, span, s.width, s.height, [=](LICE_pixel) { return color; });
  } else {
    FillRows(d, span, s.width, s.height, [=](LICE_pixel dp) { return MixAll(dp, color, w256); });
  }
}

void LICE_Clear(LICE_IBitmap* dest, LICE_pixel color) {
  if (!dest) return;
  LICE_FillRect(dest, 0, 0, dest->getWidth(), dest->getHeight(), color, 1.0f, LICE_BLIT_MODE_COPY);
}

namespace lice_detail {

void BlendCoverage(LICE_IBitmap* dest, int x, int y, const std::uint8_t* mask, int maskWidth,
                   int maskHeight, int maskStride, LICE_pixel color, int alpha255, int clipL,
                   int clipT, int clipR, int clipB) {
  if (!dest || !mask || alpha255 <= 0) return;
  clipL = std::max(clipL, 0);
  clipT = std::max(clipT, 0);
  clipR = std::min(clipR, dest->getWidth());
  clipB = std::min(clipB, dest->getHeight());
  const int x0 = std::max(x, clipL), x1 = std::min(x + maskWidth, clipR);
  const int y0 = std::max(y, clipT), y1 = std::min(y + maskHeight, clipB);
  if (x0 >= x1 || y0 >= y1) return;
  const int weight = ScaleByAlpha(256, alpha255);
  const int span = dest->getRowSpan();
  for (int py = y0; py < y1; ++py) {
    LICE_pixel* d = dest->getBits() + static_cast<std::ptrdiff_t>(py) * span;
    const std::uint8_t* m = mask + static_cast<std::ptrdiff_t>(py - y) * maskStride - x;
    for (int px = x0; px < x1; ++px) {
      const int coverage = m[px];
      if (coverage) d[px] = Over(d[px], color, ScaleByAlpha(weight, coverage));
    }
  }
}

char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  int length = 0;
  char32_t cp = 0;
  if (b0 < 0x80) {
    ++i;
    return b0;
  } else if (b0 >= 0xc2 && b0 <= 0xdf) {
    length = 2;
    cp = b0 & 0x1f;
  } else if (b0 >= 0xe0 && b0 <= 0xef) {
    length = 3;
    cp = b0 & 0x0f;
  } else if (b0 >= 0xf0 && b0 <= 0xf4) {
    length = 4;
    cp = b0 & 0x07;
  }
  if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
    ++i;
    return b0;
  }
  for (int k = 1; k < length; ++k) {
    const unsigned char b = byte(i + static_cast<std::size_t>(k));
    if ((b & 0xc0) != 0x80) {
      ++i;
      return b0;
    }
    cp = (cp << 6) | (b & 0x3f);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  static constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[length] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) {
    ++i;
    return b0;
  }
  i += static_cast<std::size_t>(length);
  return cp;
}

}  // namespace lice_detail
