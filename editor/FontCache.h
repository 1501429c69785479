#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/LICE.h"
#include "editor/IGraphicsStructs.h"

// One native font for a (face, size, orientation, style, quality) combination. A font object may
// not draw on two threads at once, and editors of several instances may draw at the same time,
// so every use goes through the entry's own lock.
class FontCacheEntry {
 public:
  explicit FontCacheEntry(const TextStyle& style);

  bool Matches(const TextStyle& style) const;
  bool IsValid() const { return mFont != nullptr; }
  bool DrawText(LICE_IBitmap* dest, std::string_view text, const Rect& rect, LICE_pixel color,
                int flags) const;
  bool MeasureText(std::string_view text, int* width, int* height) const;

 private:
  std::string mFace;
  int mSize;
  int mOrientation;
  int mStyle;
  int mQuality;
  std::unique_ptr<LICE_CachedFont> mFont;  // null when no font could be made
  mutable std::mutex mUseMutex;
};

// The process-wide fonts, shared by every editor. A font that cannot be made is remembered as
// such, so a missing face costs one lookup, not one per frame. Emptied when the library unloads.
class FontCache {
 public:
  static FontCache& Instance();

  // The entry for the style, made on first use; the style remembers it for the next call.
  const FontCacheEntry* Find(const TextStyle& style);
  int NFonts() const;

 private:
  FontCache();

  mutable std::mutex mMutex;
  std::vector<std::unique_ptr<FontCacheEntry>> mEntries;
};
