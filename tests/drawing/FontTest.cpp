#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "drawing/LICE.h"

namespace {

struct Box {
  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // right/bottom exclusive
  bool empty() const { return left > right; }
};

// The bounding box of every pixel that differs from the background.
Box Changed(const LICE_MemBitmap& bitmap, LICE_pixel background) {
  Box box;
  for (int y = 0; y < bitmap.getHeight(); ++y) {
    for (int x = 0; x < bitmap.getWidth(); ++x) {
      if (LICE_GetPixel(&bitmap, x, y) == background) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  return box;
}

int Darkest(const LICE_MemBitmap& bitmap) {
  int darkest = 255;
  for (int i = 0; i < bitmap.getWidth() * bitmap.getHeight(); ++i) {
    darkest = std::min(darkest, LICE_GETG(bitmap.getBits()[i]));
  }
  return darkest;
}

class Font : public ::testing::Test {
 protected:
  void SetUp() override {
    font = LICE_CachedFont::Create(LICE_FontSpec{"Verdana", 14, false, false, 0, 0});
    ASSERT_TRUE(font);
    canvas.resize(200, 40);
    LICE_Clear(&canvas, kWhite);
  }
  Box Draw(std::string_view text, int left, int top, int right, int bottom, int flags,
           LICE_pixel color = 0xff000000) {
    LICE_Clear(&canvas, kWhite);
    EXPECT_TRUE(font->DrawText(&canvas, text, left, top, right, bottom, color, flags));
    return Changed(canvas, kWhite);
  }

  static constexpr LICE_pixel kWhite = 0xffffffff;
  std::unique_ptr<LICE_CachedFont> font;
  LICE_MemBitmap canvas;
};

TEST_F(Font, MeasuresTheCellHeightAndAWidthThatGrowsWithTheText) {
  int width = 0, height = 0;
  ASSERT_TRUE(font->MeasureText("Hello", &width, &height));
  EXPECT_EQ(height, 14);
  EXPECT_GT(width, 20);
  EXPECT_LT(width, 60);
  int longer = 0;
  ASSERT_TRUE(font->MeasureText("Hello, world", &longer, nullptr));
  EXPECT_GT(longer, width);
  ASSERT_TRUE(font->MeasureText("", &width, &height));
  EXPECT_EQ(width, 0);

  auto bold = LICE_CachedFont::Create(LICE_FontSpec{"Verdana", 14, true, false, 0, 0});
  ASSERT_TRUE(bold);
  int boldWidth = 0;
  ASSERT_TRUE(bold->MeasureText("Hello, world", &boldWidth, nullptr));
  EXPECT_GT(boldWidth, longer);
}

TEST_F(Font, AlignsLeftCentreAndRightInsideTheRectangle) {
  const int left = 20, right = 180;
  const Box l = Draw("Tempo", left, 5, right, 35, LICE_DT_LEFT);
  ASSERT_FALSE(l.empty());
  EXPECT_GE(l.left, left);
  EXPECT_LE(l.left, left + 3);
  EXPECT_GE(l.top, 5);
  EXPECT_LE(l.bottom, 5 + 14);

  const Box c = Draw("Tempo", left, 5, right, 35, LICE_DT_CENTER);
  ASSERT_FALSE(c.empty());
  EXPECT_NEAR((c.left + c.right) / 2.0, (left + right) / 2.0, 2.5);
  // A glyph's antialiased fringe may reach a pixel past the rectangle and be clipped there.
  EXPECT_NEAR(c.right - c.left, l.right - l.left, 1);

  const Box r = Draw("Tempo", left, 5, right, 35, LICE_DT_RIGHT);
  ASSERT_FALSE(r.empty());
  EXPECT_LE(r.right, right);
  EXPECT_GE(r.right, right - 3);

  // Vertically centred: the glyphs' cell sits in the middle of the 30-pixel rectangle.
  const Box v = Draw("Tempo", left, 5, right, 35, LICE_DT_CENTER | LICE_DT_VCENTER);
  EXPECT_GE(v.top, 5 + 8);
  EXPECT_LE(v.bottom, 35 - 8 + 1);
}

TEST_F(Font, DrawsInTheColourWeighedByItsAlphaOnRequest) {
  Draw("Power", 0, 0, 200, 40, LICE_DT_LEFT);
  const int opaque = Darkest(canvas);
  EXPECT_LT(opaque, 60);
  // Without USEFGALPHA the colour's alpha is ignored.
  Draw("Power", 0, 0, 200, 40, LICE_DT_LEFT, 0x00000000);
  EXPECT_EQ(Darkest(canvas), opaque);
  const Box none = Draw("Power", 0, 0, 200, 40, LICE_DT_LEFT | LICE_DT_USEFGALPHA, 0x00000000);
  EXPECT_TRUE(none.empty());
  Draw("Power", 0, 0, 200, 40, LICE_DT_LEFT | LICE_DT_USEFGALPHA, 0x80000000);
  EXPECT_NEAR(Darkest(canvas), 128 + opaque / 2, 8);
  // Coloured text: red glyphs leave the red channel of the white canvas untouched.
  Draw("Power", 0, 0, 200, 40, LICE_DT_LEFT, 0xffff0000);
  for (int i = 0; i < 200 * 40; ++i) ASSERT_EQ(LICE_GETR(canvas.getBits()[i]), 255);
  EXPECT_LT(Darkest(canvas), 60);
}

TEST_F(Font, ClipsToTheRectangleUnlessToldNotTo) {
  const Box clipped = Draw("A long label that does not fit", 30, 10, 60, 20, LICE_DT_LEFT);
  ASSERT_FALSE(clipped.empty());
  EXPECT_GE(clipped.left, 30);
  EXPECT_LE(clipped.right, 60);
  EXPECT_GE(clipped.top, 10);
  EXPECT_LE(clipped.bottom, 20);
  const Box free = Draw("A long label that does not fit", 30, 10, 60, 20, LICE_DT_NOCLIP);
  EXPECT_GT(free.right, 100);
  EXPECT_GT(free.bottom, 20);
  // Entirely outside the bitmap, or with negative coordinates: nothing breaks.
  Draw("Edge", -500, -500, -400, -480, LICE_DT_NOCLIP);
  const Box edge = Draw("Edge", -10, -5, 20, 10, LICE_DT_LEFT);
  EXPECT_GE(edge.left, 0);
}

TEST_F(Font, DrawsLatinOneFromUtf8AndSurvivesBrokenUtf8) {
  EXPECT_FALSE(Draw("\xc3\xa9\xc3\xb1\xc3\x9f", 0, 0, 200, 40, LICE_DT_LEFT).empty());  // é ñ ß
  int utf8 = 0, latin1 = 0;
  ASSERT_TRUE(font->MeasureText("caf\xc3\xa9", &utf8, nullptr));
  // A lone Latin-1 byte is taken as that character, as older 8-bit names are.
  ASSERT_TRUE(font->MeasureText("caf\xe9", &latin1, nullptr));
  EXPECT_EQ(utf8, latin1);
  EXPECT_FALSE(Draw("\xff\xfe\xc3\xe0\x80\xf4\x90\x80\x80\xed\xa0\x80", 0, 0, 200, 40, 0).empty());
}

TEST(FontFaces, MissingFacesAndOddSpecsFallBack) {
  auto missing =
      LICE_CachedFont::Create(LICE_FontSpec{"No Such Face 12345", 12, false, false, 0, 0});
  ASSERT_TRUE(missing);
  EXPECT_FALSE(missing->GetFaceName().empty());
  LICE_MemBitmap canvas(100, 20);
  LICE_Clear(&canvas, 0xffffffff);
  EXPECT_TRUE(missing->DrawText(&canvas, "Fallback", 0, 0, 100, 20, 0xff000000, 0));
  EXPECT_FALSE(Changed(canvas, 0xffffffff).empty());
  EXPECT_FALSE(missing->DrawText(nullptr, "x", 0, 0, 10, 10, 0xff000000, 0));

  for (LICE_FontSpec request : {LICE_FontSpec{"Arial", 11, true, true, 0, 1},
                                LICE_FontSpec{"Arial", 11, false, false, 900, 3}}) {
    auto font = LICE_CachedFont::Create(request);
    ASSERT_TRUE(font);
    LICE_Clear(&canvas, 0xffffffff);
    EXPECT_TRUE(font->DrawText(&canvas, "Style", 0, 0, 100, 20, 0xff000000, 0));
    EXPECT_FALSE(Changed(canvas, 0xffffffff).empty());
  }
  EXPECT_FALSE(LICE_CachedFont::Create(LICE_FontSpec{"Arial", 0, false, false, 0, 0}));
  EXPECT_FALSE(LICE_CachedFont::Create(LICE_FontSpec{"Arial", -3, false, false, 0, 0}));
}

}  // namespace
