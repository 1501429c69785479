#include <gtest/gtest.h>

#include <cstdlib>

#include "drawing/LICE.h"

namespace {

// Expected values are the exact formulas; the library's integer arithmetic may round either way.
void ExpectPixel(LICE_pixel p, int r, int g, int b, int a, int tolerance = 1) {
  EXPECT_LE(std::abs(LICE_GETR(p) - r), tolerance) << std::hex << p;
  EXPECT_LE(std::abs(LICE_GETG(p) - g), tolerance) << std::hex << p;
  EXPECT_LE(std::abs(LICE_GETB(p) - b), tolerance) << std::hex << p;
  EXPECT_LE(std::abs(LICE_GETA(p) - a), tolerance) << std::hex << p;
}

// Blits a 1x1 source onto a 1x1 destination and returns the result.
LICE_pixel BlitOne(LICE_pixel dest, LICE_pixel src, float weight, int mode) {
  LICE_MemBitmap d(1, 1), s(1, 1);
  d.getBits()[0] = dest;
  s.getBits()[0] = src;
  LICE_Blit(&d, &s, 0, 0, 0, 0, 1, 1, weight, mode);
  return d.getBits()[0];
}

TEST(Blit, CopyMixesEveryChannelByWeight) {
  EXPECT_EQ(BlitOne(0xff000000, 0x80c86432, 1.0f, LICE_BLIT_MODE_COPY), 0x80c86432u);
  // 0.5 x (200, 100, 50, 128) + 0.5 x (0, 0, 0, 255)
  ExpectPixel(BlitOne(0xff000000, 0x80c86432, 0.5f, LICE_BLIT_MODE_COPY), 100, 50, 25, 191);
  ExpectPixel(BlitOne(0xff646464, 0xffc8c8c8, 0.25f, LICE_BLIT_MODE_COPY), 125, 125, 125, 255);
  EXPECT_EQ(BlitOne(0xff646464, 0xffc8c8c8, 0.0f, LICE_BLIT_MODE_COPY), 0xff646464u);
  EXPECT_EQ(BlitOne(0xff646464, 0xffc8c8c8, 3.0f, LICE_BLIT_MODE_COPY), 0xffc8c8c8u);
}

TEST(Blit, AlphaCopyIsSourceOverDestination) {
  const int mode = LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
  // Over an opaque backdrop: 10 + (250 - 10) x 128/255, and the backdrop stays opaque.
  ExpectPixel(BlitOne(LICE_RGBA(10, 20, 30, 255), LICE_RGBA(250, 120, 0, 128), 1.0f, mode), 130, 70,
              15, 255);
  // The weight multiplies the source's alpha: 10 + 240 x 128/255 x 0.5.
  ExpectPixel(BlitOne(LICE_RGBA(10, 20, 30, 255), LICE_RGBA(250, 120, 0, 128), 0.5f, mode), 70, 45,
              22, 255);
  EXPECT_EQ(BlitOne(0xff102030, 0x00ffffff, 1.0f, mode), 0xff102030u);
  EXPECT_EQ(BlitOne(0xff102030, 0xffa0b0c0, 1.0f, mode), 0xffa0b0c0u);
  // Over transparent pixels the colour keeps its value (straight alpha) and takes its alpha.
  ExpectPixel(BlitOne(0x00000000, LICE_RGBA(200, 100, 50, 128), 1.0f, mode), 200, 100, 50, 128);
  // Two half-covering layers: alpha 0.5 + 0.5 x 0.5, colour weighed 2:1 towards the upper one.
  ExpectPixel(BlitOne(LICE_RGBA(0, 0, 255, 128), LICE_RGBA(255, 0, 0, 128), 1.0f, mode), 170, 0, 85,
              191, 2);
}

TEST(Blit, AddSaturatesAndKeepsDestinationAlpha) {
  const int mode = LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA;
  ExpectPixel(BlitOne(LICE_RGBA(100, 100, 100, 255), LICE_RGBA(100, 200, 50, 255), 0.5f, mode), 150,
              200, 125, 255);
  ExpectPixel(BlitOne(LICE_RGBA(200, 10, 0, 77), LICE_RGBA(200, 20, 255, 255), 1.0f, mode), 255, 30,
              255, 77, 0);
  // Source alpha weighs the addition: 100 + 200 x 64/255.
  ExpectPixel(BlitOne(LICE_RGBA(100, 100, 100, 255), LICE_RGBA(200, 200, 200, 64), 1.0f, mode), 150,
              150, 150, 255);
  EXPECT_EQ(BlitOne(0xff646464, 0x00ffffff, 1.0f, mode), 0xff646464u);
  // Without USE_ALPHA the source's alpha is ignored.
  ExpectPixel(
      BlitOne(LICE_RGBA(100, 100, 100, 255), LICE_RGBA(50, 50, 50, 0), 1.0f, LICE_BLIT_MODE_ADD),
      150, 150, 150, 255);
}

TEST(Blit, DodgeDividesByInverseSource) {
  const int mode = LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA;
  // 100 / (1 - 128/255) = 200.8; 100 / (1 - 0.5 x 255/255) = 200; 0 stays 0; full source saturates.
  ExpectPixel(BlitOne(LICE_RGBA(100, 100, 0, 255), LICE_RGBA(128, 0, 255, 255), 1.0f, mode), 201,
              100, 0, 255);
  ExpectPixel(BlitOne(LICE_RGBA(100, 100, 100, 200), LICE_RGBA(255, 255, 255, 255), 0.5f, mode),
              200, 200, 200, 200, 2);
  ExpectPixel(BlitOne(LICE_RGBA(1, 50, 100, 255), LICE_RGBA(255, 255, 255, 255), 1.0f, mode), 255,
              255, 255, 255, 0);
  EXPECT_EQ(BlitOne(0xff646464, 0x00ffffff, 1.0f, mode), 0xff646464u);
}

// Every placement of a 4x3 source rectangle into a 5x4 destination, partly or wholly outside
// either bitmap, against the definition: destination pixel (x, y) takes source pixel
// (x - destX + srcX, y - destY + srcY) when both lie inside their bitmaps and the rectangle.
TEST(Blit, ClipsAtEveryEdgeOfBothBitmaps) {
  LICE_MemBitmap src(4, 3);
  for (int i = 0; i < 12; ++i) src.getBits()[i] = 0xff000000u | static_cast<LICE_pixel>(i + 1);
  for (int destX = -6; destX <= 6; ++destX) {
    for (int destY = -5; destY <= 5; ++destY) {
      for (int srcX = -5; srcX <= 5; ++srcX) {
        for (int srcY = -4; srcY <= 4; ++srcY) {
          for (int size : {1, 3, 9}) {
            LICE_MemBitmap dest(5, 4);
            LICE_Blit(&dest, &src, destX, destY, srcX, srcY, size, size - 1 + (size == 1), 1.0f,
                      LICE_BLIT_MODE_COPY);
            const int height = size - 1 + (size == 1);
            for (int y = 0; y < 4; ++y) {
              for (int x = 0; x < 5; ++x) {
                const int sx = x - destX + srcX, sy = y - destY + srcY;
                const bool inside = x >= destX && x < destX + size && y >= destY &&
                                    y < destY + height && sx >= 0 && sx < 4 && sy >= 0 && sy < 3;
                const LICE_pixel want = inside ? src.getBits()[sy * 4 + sx] : 0;
                ASSERT_EQ(LICE_GetPixel(&dest, x, y), want)
                    << "dest " << destX << "," << destY << " src " << srcX << "," << srcY
                    << " size " << size << " at " << x << "," << y;
              }
            }
          }
        }
      }
    }
  }
}

TEST(Blit, OverlappingCopyWithinOneBitmapMovesThePixels) {
  LICE_MemBitmap bitmap(1, 4);
  for (int i = 0; i < 4; ++i) bitmap.getBits()[i] = static_cast<LICE_pixel>(i + 1);
  LICE_Blit(&bitmap, &bitmap, 0, 1, 0, 0, 1, 3, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(LICE_GetPixel(&bitmap, 0, 1), 1u);
  EXPECT_EQ(LICE_GetPixel(&bitmap, 0, 2), 2u);
  EXPECT_EQ(LICE_GetPixel(&bitmap, 0, 3), 3u);
}

TEST(Fill, BlendsTheColourAndClips) {
  LICE_MemBitmap bitmap(4, 4);
  LICE_Clear(&bitmap, 0xffffffff);
  LICE_FillRect(&bitmap, -2, -3, 4, 5, LICE_RGBA(255, 0, 0, 128), 1.0f,
                LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      if (x < 2 && y < 2) {
        ExpectPixel(LICE_GetPixel(&bitmap, x, y), 255, 127, 127, 255);
      } else {
        EXPECT_EQ(LICE_GetPixel(&bitmap, x, y), 0xffffffffu) << x << "," << y;
      }
    }
  }
  // Without USE_ALPHA the colour, alpha included, replaces what is there.
  LICE_FillRect(&bitmap, 3, 3, 10, 10, LICE_RGBA(1, 2, 3, 128), 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(LICE_GetPixel(&bitmap, 3, 3), LICE_RGBA(1, 2, 3, 128));
  // Weight and alpha multiply: 0.5 x 128/255 of black over white.
  LICE_FillRect(&bitmap, 2, 0, 1, 1, LICE_RGBA(0, 0, 0, 128), 0.5f,
                LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  ExpectPixel(LICE_GetPixel(&bitmap, 2, 0), 191, 191, 191, 255);
  LICE_FillRect(&bitmap, 3, 0, 1, 1, LICE_RGBA(10, 20, 30, 255), 1.0f, LICE_BLIT_MODE_ADD);
  EXPECT_EQ(LICE_GetPixel(&bitmap, 3, 0), 0xffffffffu);
  LICE_FillRect(&bitmap, 4, 4, 1, 1, 0xff000000, 1.0f, LICE_BLIT_MODE_COPY);  // wholly outside
}

TEST(Bitmap, SizesPixelsAndOutOfRangeReads) {
  LICE_MemBitmap bitmap(3, 2);
  EXPECT_EQ(bitmap.getRowSpan(), 3);
  LICE_Clear(&bitmap, 0x12345678);
  EXPECT_EQ(LICE_GetPixel(&bitmap, 2, 1), 0x12345678u);
  EXPECT_EQ(LICE_GetPixel(&bitmap, 3, 0), 0u);
  EXPECT_EQ(LICE_GetPixel(&bitmap, 0, -1), 0u);
  bitmap.resize(-4, 5);
  EXPECT_EQ(bitmap.getWidth(), 0);
  EXPECT_EQ(bitmap.getHeight(), 0);
  // Blits to and from empty bitmaps and null pointers draw nothing.
  LICE_MemBitmap other(2, 2);
  LICE_Blit(&bitmap, &other, 0, 0, 0, 0, 2, 2, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(&other, &bitmap, 0, 0, 0, 0, 2, 2, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(nullptr, &other, 0, 0, 0, 0, 2, 2, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_FillRect(&bitmap, 0, 0, 2, 2, 0xffffffff, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(LICE_GetPixel(&other, 0, 0), 0u);
}

}  // namespace
