#pragma once

#include <cstdint>

#include "drawing/LICE.h"

// The editor's value types: rectangles, colours, text styles, blends, bitmap strips and mouse
// modifiers. Plain records, copied freely.

// Window pixels; a point lies inside when L <= x < R and T <= y < B. All four zero is the empty
// rectangle: it contains nothing, meets nothing, and a union with it is the other rectangle.
struct Rect {
  int L = 0, T = 0, R = 0, B = 0;

  constexpr Rect() = default;
  constexpr Rect(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

  constexpr int W() const { return R - L; }
  constexpr int H() const { return B - T; }
  constexpr bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  constexpr bool Contains(int x, int y) const { return x >= L && x < R && y >= T && y < B; }
  constexpr bool Intersects(const Rect& o) const {
    return L < R && T < B && o.L < o.R && o.T < o.B && L < o.R && o.L < R && T < o.B && o.T < B;
  }
  // The common part, or the empty rectangle when there is none.
  constexpr Rect Intersect(const Rect& o) const {
    if (!Intersects(o)) return {};
    return {L > o.L ? L : o.L, T > o.T ? T : o.T, R < o.R ? R : o.R, B < o.B ? B : o.B};
  }
  constexpr Rect Union(const Rect& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return {L < o.L ? L : o.L, T < o.T ? T : o.T, R > o.R ? R : o.R, B > o.B ? B : o.B};
  }
  constexpr bool operator==(const Rect&) const = default;
};

struct Color {
  int A = 255, R = 0, G = 0, B = 0;

  constexpr Color() = default;
  constexpr Color(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  constexpr LICE_pixel Packed() const { return LICE_RGBA(R, G, B, A); }
  constexpr bool operator==(const Color&) const = default;
};

class FontCacheEntry;

struct TextStyle {
  enum Style : int { kNormal = 0, kBold = 1, kItalic = 2 };
  enum Align : int { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  enum Quality : int {
    kQualityDefault = 0,
    kQualityNonAntiAliased = 1,
    kQualityAntiAliased = 2,
    kQualityClearType = 3
  };
  static constexpr int kFontNameSize = 32;

  TextStyle() { SetFont("Verdana"); }
  TextStyle(const char* font, int size, Color color, int style = kNormal, int align = kAlignCenter)
      : mSize(size), mColor(color), mStyle(style), mAlign(align) {
    SetFont(font);
  }
  // Keeps at most 31 bytes of the name; the cached font is looked up again on next use.
  void SetFont(const char* name) {
    int i = 0;
    for (; name && name[i] && i < kFontNameSize - 1; ++i) mFont[i] = name[i];
    for (; i < kFontNameSize; ++i) mFont[i] = '\0';
    mCached = nullptr;
  }

  char mFont[kFontNameSize] = {};
  int mSize = 12;
  Color mColor{255, 0, 0, 0};
  Color mTextEntryBGColor{255, 255, 255, 255};
  Color mTextEntryFGColor{255, 0, 0, 0};
  int mStyle = kNormal;
  int mAlign = kAlignCenter;
  int mOrientation = 0;  // degrees
  int mQuality = kQualityDefault;
  // Not owned: the font cache's entry for this style, filled on first use.
  mutable const FontCacheEntry* mCached = nullptr;
};

struct BlendMode {
  enum Method : int { kNone = 0, kClobber = 1, kAdd = 2, kColorDodge = 3 };

  int mMethod = kNone;
  float mWeight = 1.0f;
};

class CachedBitmap;

// An image made of N equal frames, stacked (every bitmap of this plug-in) or side by side. The
// pixels come either straight from a bitmap the caller owns or from the process-wide cache, which
// decodes them on first draw.
struct BitmapStrip {
  const LICE_IBitmap* mBitmap = nullptr;  // not owned
  CachedBitmap* mCached = nullptr;        // not owned
  int W = 0;
  int H = 0;
  int N = 1;
  bool mFramesAreHorizontal = false;

  int FrameWidth() const { return mFramesAreHorizontal && N > 0 ? W / N : W; }
  int FrameHeight() const { return !mFramesAreHorizontal && N > 0 ? H / N : H; }
  bool IsValid() const { return (mBitmap || mCached) && W > 0 && H > 0; }
};

struct MouseModifiers {
  bool L = false, R = false, S = false, C = false, A = false;
};

// Normalised value of a further parameter a control shows besides its own.
struct AuxBinding {
  double mValue = 0.0;
  int mParamIdx = -1;
};
