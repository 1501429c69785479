// Text on Linux: fontconfig picks the font file (its substitution rules turn "Arial" into a
// metric-compatible face such as Liberation Sans), FreeType renders the glyphs.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

#include "drawing/Blend.h"
#include "drawing/LICE.h"

namespace {

using lice_detail::BlendCoverage;
using lice_detail::NextCodePoint;

// fontconfig's configuration is loaded once per process; FcConfigSubstitute and FcFontMatch on
// the current configuration are then safe from any thread, but its initialisation is not.
std::mutex& FontconfigMutex() {
  static std::mutex mutex;
  return mutex;
}

struct Glyph {
  int left = 0;  // from the pen to the bitmap's left edge
  int top = 0;   // from the baseline up to the bitmap's top edge
  int width = 0;
  int rows = 0;
  int advance = 0;                     // whole pixels, as the hinted outline gives it
  std::vector<std::uint8_t> coverage;  // width x rows, 0..255
};

struct MatchedFile {
  std::string path;
  int index = 0;
  std::string family;
  bool needsBold = false;
  bool needsSlant = false;
};

bool Match(const LICE_FontSpec& request, MatchedFile& out) {
  std::lock_guard lock(FontconfigMutex());
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  const std::string face = request.face.empty() ? std::string("sans-serif") : request.face;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
  // A face that is missing altogether falls back to a sans face rather than fontconfig's overall
  // default, which may be a serif one on some systems.
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8* file = nullptr;
  FcChar8* family = nullptr;
  int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
  if (ok) {
    out.path = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) out.index = index;
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch && family) {
      out.family = reinterpret_cast<const char*>(family);
    }
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    out.needsBold = request.bold && weight < FC_WEIGHT_DEMIBOLD;
    out.needsSlant = request.italic && slant == FC_SLANT_ROMAN;
  }
  FcPatternDestroy(match);
  return ok;
}

class FreeTypeFont final : public LICE_CachedFont {
 public:
  ~FreeTypeFont() override {
    if (mFace) FT_Done_Face(mFace);
    if (mLibrary) FT_Done_FreeType(mLibrary);
  }

  bool Open(const LICE_FontSpec& request) {
    MatchedFile file;
    if (request.height <= 0 || request.height > 1000 || !Match(request, file)) return false;
    if (FT_Init_FreeType(&mLibrary) != 0) return false;
    if (FT_New_Face(mLibrary, file.path.c_str(), file.index, &mFace) != 0) return false;
    if (!FT_IS_SCALABLE(mFace)) return false;
    mFamily = file.family.empty() && mFace->family_name ? mFace->family_name : file.family;
    mEmbolden = file.needsBold;
    mMono = request.quality == 1;
    // Orientation other than 0 is drawn upright: the editor only ever asks for horizontal text.

    // The height is the font's cell (ascent plus descent) as Windows measures it, from the OS/2
    // table's win metrics where present, so a metric-compatible face lays out the same as there.
    double ascent = mFace->ascender, descent = -mFace->descender;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(mFace, FT_SFNT_OS2));
        os2 && os2->version != 0xffff && os2->usWinAscent + os2->usWinDescent > 0) {
      ascent = os2->usWinAscent;
      descent = os2->usWinDescent;
    }
    if (ascent + descent <= 0) return false;
    const double scale = request.height / (ascent + descent);  // pixels per font unit
    const double em = mFace->units_per_EM * scale;
    if (FT_Set_Char_Size(mFace, 0, static_cast<FT_F26Dot6>(std::lround(em * 64.0)), 72, 72) != 0) {
      return false;
    }
    mHeight = request.height;
    mAscent = static_cast<int>(std::lround(ascent * scale));
    if (file.needsSlant) {
      // The usual synthetic oblique: x += y x 0.2.
      FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};
      FT_Set_Transform(mFace, &shear, nullptr);
    }
    return true;
  }

  bool DrawText(LICE_IBitmap* dest, std::string_view text, int left, int top, int right, int bottom,
                LICE_pixel color, int flags) override {
    if (!dest) return false;
    const int width = LineWidth(text);
    int x = 0, y = 0;
    lice_detail::PlaceText(width, mHeight, left, top, right, bottom, flags, x, y);
    const int alpha = (flags & LICE_DT_USEFGALPHA) ? LICE_GETA(color) : 255;
    const bool clip = !(flags & LICE_DT_NOCLIP);
    const int clipL = clip ? left : 0, clipT = clip ? top : 0;
    const int clipR = clip ? right : dest->getWidth(), clipB = clip ? bottom : dest->getHeight();
    const int baseline = y + mAscent;
    for (std::size_t i = 0; i < text.size();) {
      // Past the clip's right edge (with room for a glyph's overhang) nothing more can show.
      if (x - mHeight > clipR) break;
      const Glyph* g = GlyphFor(NextCodePoint(text, i));
      if (!g) continue;
      if (!g->coverage.empty()) {
        BlendCoverage(dest, x + g->left, baseline - g->top, g->coverage.data(), g->width, g->rows,
                      g->width, color, alpha, clipL, clipT, clipR, clipB);
      }
      x += g->advance;
    }
    return true;
  }

  bool MeasureText(std::string_view text, int* width, int* height) override {
    if (width) *width = LineWidth(text);
    if (height) *height = mHeight;
    return true;
  }

  std::string GetFaceName() const override { return mFamily; }

 private:
  int LineWidth(std::string_view text) {
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
      if (const Glyph* g = GlyphFor(NextCodePoint(text, i))) width += g->advance;
    }
    return width;
  }

  const Glyph* GlyphFor(char32_t codePoint) {
    if (auto it = mGlyphs.find(codePoint); it != mGlyphs.end()) return &it->second;
    // Bounded so that text from untrusted sources cannot grow the cache without end.
    if (mGlyphs.size() >= 4096) mGlyphs.clear();
    Glyph& glyph = mGlyphs[codePoint];
    const FT_UInt index = FT_Get_Char_Index(mFace, codePoint);
    const FT_Int32 load = FT_LOAD_DEFAULT | (mMono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Glyph(mFace, index, load) != 0) return &glyph;
    FT_GlyphSlot slot = mFace->glyph;
    if (mEmbolden) FT_GlyphSlot_Embolden(slot);
    if (FT_Render_Glyph(slot, mMono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) {
      return &glyph;
    }
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.rows = static_cast<int>(bitmap.rows);
    glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.rows);
    for (int row = 0; row < glyph.rows; ++row) {
      const unsigned char* line = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
      std::uint8_t* out = glyph.coverage.data() + static_cast<std::ptrdiff_t>(row) * glyph.width;
      for (int col = 0; col < glyph.width; ++col) {
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
          out[col] = (line[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
        } else {
          out[col] = line[col];
        }
      }
    }
    return &glyph;
  }

  FT_Library mLibrary = nullptr;
  FT_Face mFace = nullptr;
  std::string mFamily;
  bool mEmbolden = false;
  bool mMono = false;
  int mHeight = 0;
  int mAscent = 0;
  std::unordered_map<char32_t, Glyph> mGlyphs;
};

}  // namespace

std::unique_ptr<LICE_CachedFont> LICE_CachedFont::Create(const LICE_FontSpec& request) {
  auto font = std::make_unique<FreeTypeFont>();
  if (!font->Open(request)) return nullptr;
  return font;
}
