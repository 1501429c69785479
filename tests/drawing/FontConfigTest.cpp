// What fontconfig makes of the face names the editor uses, with the fonts the set-up installs
// (fonts-liberation, fonts-dejavu-core).
#include <gtest/gtest.h>

#include "drawing/LICE.h"

namespace {

std::string FaceFor(const char* face, bool bold = false) {
  auto font = LICE_CachedFont::Create(LICE_FontSpec{face, 12, bold, false, 0, 0});
  return font ? font->GetFaceName() : std::string("(none)");
}

TEST(FontConfig, FaceNamesResolveToMetricCompatibleSansFaces) {
  EXPECT_EQ(FaceFor("Arial"), "Liberation Sans");
  EXPECT_EQ(FaceFor("Arial", true), "Liberation Sans");
  EXPECT_EQ(FaceFor("Verdana"), "DejaVu Sans");
  const std::string fallback = FaceFor("No Such Face 12345");
  EXPECT_TRUE(fallback == "DejaVu Sans" || fallback == "Liberation Sans") << fallback;
}

}  // namespace
