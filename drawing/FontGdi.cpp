// Text in the Windows builds: GDI draws white text on black into a DIB section, and the grey
// levels it leaves are the coverage with which the colour is blended into the LICE bitmap.
#define NOMINMAX
#include <windows.h>
// windows.h maps DrawText to DrawTextA; the font's member of that name is ours.
#undef DrawText

#include <algorithm>
#include <cstring>

#include "drawing/Blend.h"
#include "drawing/LICE.h"

namespace {

using lice_detail::BlendCoverage;
using lice_detail::NextCodePoint;

std::wstring Widen(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char32_t cp = NextCodePoint(text, i);
    if (cp >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xd800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xdc00 + ((cp - 0x10000) & 0x3ff)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
  }
  return out;
}

class GdiFont final : public LICE_CachedFont {
 public:
  ~GdiFont() override {
    if (mDC) {
      if (mOldBitmap) SelectObject(mDC, mOldBitmap);
      if (mOldFont) SelectObject(mDC, mOldFont);
      DeleteDC(mDC);
    }
    if (mDib) DeleteObject(mDib);
    if (mFont) DeleteObject(mFont);
  }

  bool Open(const LICE_FontSpec& request) {
    if (request.height <= 0 || request.height > 1000) return false;
    // ClearType's per-channel coverage cannot be blended as one grey level, so subpixel quality
    // draws greyscale antialiased text as well.
    const DWORD quality = request.quality == 1 ? NONANTIALIASED_QUALITY : ANTIALIASED_QUALITY;
    // Orientation other than 0 is drawn upright: the editor only ever asks for horizontal text.
    // A positive height is the cell height (ascent plus descent), as on Windows.
    mFont = CreateFontA(request.height, 0, 0, 0, request.bold ? FW_BOLD : FW_NORMAL, request.italic,
                        FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, quality,
                        DEFAULT_PITCH | FF_SWISS, request.face.c_str());
    if (!mFont) return false;
    mDC = CreateCompatibleDC(nullptr);
    if (!mDC) return false;
    mOldFont = SelectObject(mDC, mFont);
    SetTextColor(mDC, RGB(255, 255, 255));
    SetBkMode(mDC, TRANSPARENT);
    SetTextAlign(mDC, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    TEXTMETRICA metrics{};
    if (!GetTextMetricsA(mDC, &metrics)) return false;
    mHeight = metrics.tmHeight;
    // Italic glyphs lean past their advance; the DIB leaves room for that on both sides.
    mMargin = std::max<int>(metrics.tmOverhang, request.italic ? mHeight / 2 : 2);
    char name[LF_FACESIZE] = {};
    if (GetTextFaceA(mDC, sizeof(name), name) > 0) mFamily = name;
    return true;
  }

  bool DrawText(LICE_IBitmap* dest, std::string_view text, int left, int top, int right, int bottom,
                LICE_pixel color, int flags) override {
    if (!dest) return false;
    const std::wstring wide = Widen(text);
    const int length = static_cast<int>(std::min<std::size_t>(wide.size(), 32767));
    if (length == 0) return true;
    SIZE size{};
    if (!GetTextExtentPoint32W(mDC, wide.c_str(), length, &size)) return false;
    const int width = static_cast<int>(size.cx);
    int x = 0, y = 0;
    lice_detail::PlaceText(width, mHeight, left, top, right, bottom, flags, x, y);
    const bool clip = !(flags & LICE_DT_NOCLIP);
    const int clipL = clip ? left : 0, clipT = clip ? top : 0;
    const int clipR = clip ? right : dest->getWidth(), clipB = clip ? bottom : dest->getHeight();
    // Only the part of the line that can land inside the clip is rendered.
    const int from = std::max(x - mMargin, std::max(clipL, 0));
    const int to = std::min(x + width + mMargin, std::min(clipR, dest->getWidth()));
    if (from >= to || y >= std::min(clipB, dest->getHeight()) ||
        y + mHeight <= std::max(clipT, 0)) {
      return true;
    }
    const int dibWidth = to - from;
    if (!EnsureDib(dibWidth, mHeight)) return false;
    std::memset(mBits, 0, static_cast<std::size_t>(mDibWidth) * mDibHeight * 4);
    TextOutW(mDC, x - from, 0, wide.c_str(), length);
    GdiFlush();

    // The green channel of white-on-black text is its coverage (red and blue are equal to it
    // for greyscale antialiasing).
    mCoverage.resize(static_cast<std::size_t>(dibWidth) * mHeight);
    for (int row = 0; row < mHeight; ++row) {
      const std::uint32_t* line = mBits + static_cast<std::ptrdiff_t>(row) * mDibWidth;
      std::uint8_t* out = mCoverage.data() + static_cast<std::ptrdiff_t>(row) * dibWidth;
      for (int col = 0; col < dibWidth; ++col) out[col] = static_cast<std::uint8_t>(line[col] >> 8);
    }
    const int alpha = (flags & LICE_DT_USEFGALPHA) ? LICE_GETA(color) : 255;
    BlendCoverage(dest, from, y, mCoverage.data(), dibWidth, mHeight, dibWidth, color, alpha, clipL,
                  clipT, clipR, clipB);
    return true;
  }

  bool MeasureText(std::string_view text, int* width, int* height) override {
    const std::wstring wide = Widen(text);
    SIZE size{};
    const int length = static_cast<int>(std::min<std::size_t>(wide.size(), 32767));
    if (length > 0 && !GetTextExtentPoint32W(mDC, wide.c_str(), length, &size)) return false;
    if (width) *width = static_cast<int>(size.cx);
    if (height) *height = mHeight;
    return true;
  }

  std::string GetFaceName() const override { return mFamily; }

 private:
  // The DIB only grows, so a font that draws many labels keeps one.
  bool EnsureDib(int width, int height) {
    if (mDib && width <= mDibWidth && height <= mDibHeight) return true;
    width = std::max(width, mDibWidth);
    height = std::max(height, mDibHeight);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(mDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits) return false;
    HGDIOBJ previous = SelectObject(mDC, dib);
    if (!mOldBitmap) mOldBitmap = previous;
    if (mDib) DeleteObject(mDib);
    mDib = dib;
    mBits = static_cast<std::uint32_t*>(bits);
    mDibWidth = width;
    mDibHeight = height;
    return true;
  }

  HFONT mFont = nullptr;
  HDC mDC = nullptr;
  HGDIOBJ mOldFont = nullptr;
  HGDIOBJ mOldBitmap = nullptr;
  HBITMAP mDib = nullptr;
  std::uint32_t* mBits = nullptr;
  int mDibWidth = 0;
  int mDibHeight = 0;
  int mHeight = 0;
  int mMargin = 0;
  std::string mFamily;
  std::vector<std::uint8_t> mCoverage;
};

}  // namespace

std::unique_ptr<LICE_CachedFont> LICE_CachedFont::Create(const LICE_FontSpec& request) {
  auto font = std::make_unique<GdiFont>();
  if (!font->Open(request)) return nullptr;
  return font;
}
