#pragma once

// The editor's drawing library: 32-bit ARGB memory bitmaps, blits with four blend modes, filled
// rectangles, PNG decoding and text. It knows nothing of controls, windows or the plug-in.
//
// Pixels are 0xAARRGGBB with straight (not premultiplied) alpha, rows top to bottom. Every
// operation clips against its destination (and source) bounds; out-of-range coordinates draw
// nothing and never touch memory outside a bitmap. Nothing here throws.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using LICE_pixel = std::uint32_t;

constexpr LICE_pixel LICE_RGBA(int r, int g, int b, int a) {
  return (static_cast<LICE_pixel>(a & 255) << 24) | (static_cast<LICE_pixel>(r & 255) << 16) |
         (static_cast<LICE_pixel>(g & 255) << 8) | static_cast<LICE_pixel>(b & 255);
}
constexpr int LICE_GETA(LICE_pixel p) {
  return static_cast<int>(p >> 24);
}
constexpr int LICE_GETR(LICE_pixel p) {
  return static_cast<int>((p >> 16) & 255);
}
constexpr int LICE_GETG(LICE_pixel p) {
  return static_cast<int>((p >> 8) & 255);
}
constexpr int LICE_GETB(LICE_pixel p) {
  return static_cast<int>(p & 255);
}

class LICE_IBitmap {
 public:
  virtual ~LICE_IBitmap() = default;
  virtual LICE_pixel* getBits() = 0;
  virtual const LICE_pixel* getBits() const = 0;
  virtual int getWidth() const = 0;
  virtual int getHeight() const = 0;
  // Pixels from the start of one row to the start of the next.
  virtual int getRowSpan() const = 0;
};

class LICE_MemBitmap final : public LICE_IBitmap {
 public:
  explicit LICE_MemBitmap(int width = 0, int height = 0);
  // New size with every pixel 0 (transparent black); negative sizes count as 0.
  void resize(int width, int height);

  LICE_pixel* getBits() override { return mPixels.data(); }
  const LICE_pixel* getBits() const override { return mPixels.data(); }
  int getWidth() const override { return mWidth; }
  int getHeight() const override { return mHeight; }
  int getRowSpan() const override { return mWidth; }

 private:
  int mWidth = 0;
  int mHeight = 0;
  std::vector<LICE_pixel> mPixels;
};

// Blend modes. The low byte picks the operation; LICE_BLIT_USE_ALPHA weighs each source pixel by
// its own alpha as well as by the call's weight. The destination's alpha: COPY without USE_ALPHA
// mixes it like the colour (a weight-1 copy is exact); COPY with USE_ALPHA composites "over"
// (alpha a + dA x (1 - a), colour kept straight), so an opaque destination stays opaque; ADD and
// DODGE leave it unchanged.
enum : int {
  LICE_BLIT_MODE_COPY = 0,   // dest := src x w + dest x (1 - w)
  LICE_BLIT_MODE_ADD = 1,    // dest := dest + src x w, saturating
  LICE_BLIT_MODE_DODGE = 2,  // dest := dest / (1 - src x w), saturating
  LICE_BLIT_MODE_MASK = 0xff,
  LICE_BLIT_USE_ALPHA = 0x10000,
};

// Copies the source rectangle (srcX, srcY, width, height) to (destX, destY) with weight 0..1 and
// mode. Both rectangles are clipped; the source offset moves with the destination's clipping.
void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int destX, int destY, int srcX,
               int srcY, int width, int height, float weight, int mode);

// Fills (x, y, width, height) with color at weight 0..1 in mode (as LICE_Blit, the colour taking
// the place of every source pixel).
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int width, int height, LICE_pixel color,
                   float weight, int mode);

void LICE_Clear(LICE_IBitmap* dest, LICE_pixel color);

// The pixel at (x, y), or 0 outside the bitmap.
LICE_pixel LICE_GetPixel(const LICE_IBitmap* bitmap, int x, int y);

// Decodes PNG data of any colour type and bit depth into a new bitmap; null for damaged, truncated
// or oversized data.
std::unique_ptr<LICE_MemBitmap> LICE_LoadPNGFromMemory(const void* data, std::size_t size);

// Writes the bitmap as an 8-bit RGBA PNG; false when the file cannot be written.
bool LICE_WritePNG(const char* path, const LICE_IBitmap* bitmap);

// Text alignment and options for LICE_CachedFont::DrawText.
enum : int {
  LICE_DT_LEFT = 0,
  LICE_DT_CENTER = 1,
  LICE_DT_RIGHT = 2,
  LICE_DT_HALIGN_MASK = 3,
  LICE_DT_VCENTER = 0x10,      // centre vertically in the rectangle (default: top)
  LICE_DT_NOCLIP = 0x100,      // may draw outside the rectangle (still clipped to the bitmap)
  LICE_DT_USEFGALPHA = 0x200,  // weigh the glyphs by the colour's alpha (default: opaque)
};

// What a font is created from. The face names the text uses ("Arial", "Verdana") resolve to
// metric-compatible fonts where the system has no font of that name.
struct LICE_FontSpec {
  std::string face = "Verdana";
  int height = 12;  // pixels, ascent plus descent
  bool bold = false;
  bool italic = false;
  int orientationTenths = 0;  // counter-clockwise, in tenths of a degree
  int quality = 0;            // 0 default, 1 non-antialiased, 2 antialiased, 3 subpixel
};

// A native font, created once and drawn with many times. Drawing is not thread-safe for one font
// object: callers that share fonts between editors serialise their use.
class LICE_CachedFont {
 public:
  // Null when no font can be found or created for the request.
  static std::unique_ptr<LICE_CachedFont> Create(const LICE_FontSpec& request);
  virtual ~LICE_CachedFont() = default;

  // Draws UTF-8 text into the rectangle (left, top, right, bottom) in color with the flags above.
  // False when nothing could be drawn.
  virtual bool DrawText(LICE_IBitmap* dest, std::string_view text, int left, int top, int right,
                        int bottom, LICE_pixel color, int flags) = 0;
  // The size the text would take, in pixels.
  virtual bool MeasureText(std::string_view text, int* width, int* height) = 0;
  // The family the system actually chose for the request's face, after its substitutions.
  virtual std::string GetFaceName() const { return {}; }
};
