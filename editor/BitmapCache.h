#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "drawing/LICE.h"

// One bitmap resource known to the process: its size is read when it is first asked for, its
// pixels are decoded when it is first drawn. Hosts build plug-in instances while scanning, so
// building an editor's controls must not pay for decoding images nobody may ever look at.
class CachedBitmap {
 public:
  CachedBitmap(int id, std::string fileName, int width, int height)
      : mId(id), mFileName(std::move(fileName)), mWidth(width), mHeight(height) {}

  int Id() const { return mId; }
  const std::string& FileName() const { return mFileName; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  // The decoded pixels, or null before the first decode (and after a failed one).
  const LICE_IBitmap* Decoded() const { return mDecoded.load(std::memory_order_acquire); }

 private:
  friend class BitmapCache;

  const int mId;
  const std::string mFileName;
  const int mWidth;
  const int mHeight;
  std::unique_ptr<LICE_MemBitmap> mOwned;  // guarded by the cache's mutex
  std::atomic<const LICE_IBitmap*> mDecoded{nullptr};
  bool mFailed = false;  // guarded by the cache's mutex
};

// The process-wide list of bitmap resources by id, shared by every editor of every instance.
// Entries are never removed while the library is loaded, so a CachedBitmap pointer stays valid;
// the list and its pixels go when the library unloads (this object's static destruction).
class BitmapCache {
 public:
  // Answers the size of a resource without decoding it; false when there is no such resource.
  using SizeReader = std::function<bool(int id, const char* fileName, int* width, int* height)>;
  // Decodes a resource; null on failure.
  using Decoder = std::function<std::unique_ptr<LICE_MemBitmap>(int id, const char* fileName)>;

  static BitmapCache& Instance();

  // The entry for id (the file name of the first request is kept), added on a miss; null when the
  // resource does not exist.
  CachedBitmap* Acquire(int id, const char* fileName, const SizeReader& readSize);
  // The pixels of an entry, decoded once per process; null when decoding failed, which is
  // remembered so a damaged resource costs one attempt, not one per frame.
  const LICE_IBitmap* Pixels(CachedBitmap* entry, const Decoder& decode);

  int NBitmaps() const;
  int NDecoded() const;
  // Frees every decoded image so the next draw decodes again. Only for tests and benchmarks: no
  // editor may be drawing meanwhile.
  void ReleasePixels();

 private:
  BitmapCache() = default;

  mutable std::mutex mMutex;
  std::vector<std::unique_ptr<CachedBitmap>> mEntries;
};
