#pragma once

// Pixel arithmetic shared by the blits, the fills and the text renderers. Weights are integers
// 0..256 so that the inner loops need no floating point; 256 means "all of the source".
//
// Alpha (straight, 0xAARRGGBB):
// - COPY without USE_ALPHA mixes all four channels, so a weight-1 copy reproduces the source
//   exactly, alpha included.
// - COPY with USE_ALPHA is "source over destination": the colour is mixed by the source's alpha
//   times the weight and the destination's alpha becomes a + dA x (1 - a). Over an opaque
//   destination (the editor's backdrop) the destination stays opaque; over a transparent one the
//   colour is divided back out so that the result is still straight alpha.
// - ADD and DODGE brighten what is already there and never change the destination's alpha.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drawing/LICE.h"

namespace lice_detail {

// 0..1 to 0..256, clamped; NaN counts as 0.
inline int WeightToInt(float weight) {
  if (!(weight > 0.0f)) return 0;
  if (weight >= 1.0f) return 256;
  return static_cast<int>(weight * 256.0f + 0.5f);
}

// Scales a weight 0..256 by an 8-bit alpha 0..255 (255 keeps the weight unchanged).
inline int ScaleByAlpha(int weight256, int alpha255) {
  return ((alpha255 + (alpha255 >> 7)) * weight256) >> 8;
}

inline int Mix(int d, int s, int a256) {
  return d + (((s - d) * a256 + 128) >> 8);
}

inline LICE_pixel MixAll(LICE_pixel d, LICE_pixel s, int a256) {
  return LICE_RGBA(Mix(LICE_GETR(d), LICE_GETR(s), a256), Mix(LICE_GETG(d), LICE_GETG(s), a256),
                   Mix(LICE_GETB(d), LICE_GETB(s), a256), Mix(LICE_GETA(d), LICE_GETA(s), a256));
}

inline LICE_pixel Over(LICE_pixel d, LICE_pixel s, int a256) {
  if (a256 <= 0) return d;
  const int da = LICE_GETA(d);
  if (da == 255) {
    if (a256 >= 256) return s | 0xff000000u;
    return LICE_RGBA(Mix(LICE_GETR(d), LICE_GETR(s), a256), Mix(LICE_GETG(d), LICE_GETG(s), a256),
                     Mix(LICE_GETB(d), LICE_GETB(s), a256), 255);
  }
  // Straight alpha under a translucent destination: weigh each colour by its own coverage.
  const int sw = a256 * 255;         // source coverage, scaled by 256 x 255
  const int dw = da * (256 - a256);  // destination coverage, same scale
  const int total = sw + dw;
  if (total <= 0) return 0;
  auto ch = [&](int dc, int sc) { return (sc * sw + dc * dw + total / 2) / total; };
  return LICE_RGBA(ch(LICE_GETR(d), LICE_GETR(s)), ch(LICE_GETG(d), LICE_GETG(s)),
                   ch(LICE_GETB(d), LICE_GETB(s)), (total + 128) >> 8);
}

inline int AddChannel(int d, int s, int a256) {
  const int v = d + ((s * a256 + 128) >> 8);
  return v > 255 ? 255 : v;
}

inline LICE_pixel Add(LICE_pixel d, LICE_pixel s, int a256) {
  return (d & 0xff000000u) |
         (static_cast<LICE_pixel>(AddChannel(LICE_GETR(d), LICE_GETR(s), a256)) << 16) |
         (static_cast<LICE_pixel>(AddChannel(LICE_GETG(d), LICE_GETG(s), a256)) << 8) |
         static_cast<LICE_pixel>(AddChannel(LICE_GETB(d), LICE_GETB(s), a256));
}

// 65536 x 255 / (255 - s) for s in 0..254: the division of the dodge as a multiplication.
struct DodgeTable {
  std::uint32_t reciprocal[255];
  constexpr DodgeTable() : reciprocal() {
    for (int s = 0; s < 255; ++s)
      reciprocal[s] = (65536u * 255u) / static_cast<std::uint32_t>(255 - s);
  }
};
inline constexpr DodgeTable kDodge{};

inline int DodgeChannel(int d, int s, int a256) {
  const int sw = (s * a256 + 128) >> 8;
  if (d == 0) return 0;
  if (sw >= 255) return 255;
  const std::uint32_t v = (static_cast<std::uint32_t>(d) * kDodge.reciprocal[sw] + 32768u) >> 16;
  return v > 255 ? 255 : static_cast<int>(v);
}

inline LICE_pixel Dodge(LICE_pixel d, LICE_pixel s, int a256) {
  return (d & 0xff000000u) |
         (static_cast<LICE_pixel>(DodgeChannel(LICE_GETR(d), LICE_GETR(s), a256)) << 16) |
         (static_cast<LICE_pixel>(DodgeChannel(LICE_GETG(d), LICE_GETG(s), a256)) << 8) |
         static_cast<LICE_pixel>(DodgeChannel(LICE_GETB(d), LICE_GETB(s), a256));
}

// Blends colour into dest through an 8-bit coverage mask (glyphs), each mask value weighed by
// alpha255; only pixels inside the clip rectangle [clipL, clipR) x [clipT, clipB) change.
void BlendCoverage(LICE_IBitmap* dest, int x, int y, const std::uint8_t* mask, int maskWidth,
                   int maskHeight, int maskStride, LICE_pixel color, int alpha255, int clipL,
                   int clipT, int clipR, int clipB);

// Where a line of text width x height starts in (left, top, right, bottom) for the alignment
// flags. Computed wide and clamped, so that extreme rectangles cannot overflow.
inline void PlaceText(int width, int height, int left, int top, int right, int bottom, int flags,
                      int& x, int& y) {
  long long px = left;
  if ((flags & LICE_DT_HALIGN_MASK) == LICE_DT_CENTER) {
    px = left + (static_cast<long long>(right) - left - width) / 2;
  } else if ((flags & LICE_DT_HALIGN_MASK) == LICE_DT_RIGHT) {
    px = static_cast<long long>(right) - width;
  }
  long long py = top;
  if (flags & LICE_DT_VCENTER) py = top + (static_cast<long long>(bottom) - top - height) / 2;
  constexpr long long kFar = 1LL << 28;
  x = static_cast<int>(px < -kFar ? -kFar : px > kFar ? kFar : px);
  y = static_cast<int>(py < -kFar ? -kFar : py > kFar ? kFar : py);
}

// Decodes one code point from UTF-8 at text[i], advancing i. A byte that does not start a valid
// sequence stands for itself as Latin-1, so text from older 8-bit sources still shows.
char32_t NextCodePoint(std::string_view text, std::size_t& i);

}  // namespace lice_detail
