#include "editor/FontCache.h"

#include <cstring>

namespace {

LICE_FontSpec SpecOf(const TextStyle& style) {
  LICE_FontSpec request;
  request.face = style.mFont;
  request.height = style.mSize;
  request.bold = style.mStyle == TextStyle::kBold;
  request.italic = style.mStyle == TextStyle::kItalic;
  request.orientationTenths = style.mOrientation * 10;
  request.quality = style.mQuality;
  return request;
}

}  // namespace

FontCacheEntry::FontCacheEntry(const TextStyle& style)
    : mFace(style.mFont),
      mSize(style.mSize),
      mOrientation(style.mOrientation),
      mStyle(style.mStyle),
      mQuality(style.mQuality),
      mFont(LICE_CachedFont::Create(SpecOf(style))) {}

bool FontCacheEntry::Matches(const TextStyle& style) const {
  return mSize == style.mSize && mOrientation == style.mOrientation && mStyle == style.mStyle &&
         mQuality == style.mQuality && mFace == style.mFont;
}

bool FontCacheEntry::DrawText(LICE_IBitmap* dest, std::string_view text, const Rect& rect,
                              LICE_pixel color, int flags) const {
  if (!mFont) return false;
  std::lock_guard<std::mutex> lock(mUseMutex);
  return mFont->DrawText(dest, text, rect.L, rect.T, rect.R, rect.B, color, flags);
}

bool FontCacheEntry::MeasureText(std::string_view text, int* width, int* height) const {
  if (!mFont) return false;
  std::lock_guard<std::mutex> lock(mUseMutex);
  return mFont->MeasureText(text, width, height);
}

FontCache::FontCache() = default;

FontCache& FontCache::Instance() {
  static FontCache cache;
  return cache;
}

const FontCacheEntry* FontCache::Find(const TextStyle& style) {
  const FontCacheEntry* cached = style.mCached;
  if (cached && cached->Matches(style)) return cached;
  std::lock_guard<std::mutex> lock(mMutex);
  for (const auto& entry : mEntries) {
    if (entry->Matches(style)) {
      style.mCached = entry.get();
      return entry.get();
    }
  }
  mEntries.push_back(std::make_unique<FontCacheEntry>(style));
  style.mCached = mEntries.back().get();
  return style.mCached;
}

int FontCache::NFonts() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return static_cast<int>(mEntries.size());
}
