#include "editor/BitmapCache.h"

BitmapCache& BitmapCache::Instance() {
  static BitmapCache cache;
  return cache;
}

CachedBitmap* BitmapCache::Acquire(int id, const char* fileName, const SizeReader& readSize) {
  std::lock_guard<std::mutex> lock(mMutex);
  for (const auto& entry : mEntries) {
    if (entry->Id() == id) return entry.get();
  }
  int width = 0;
  int height = 0;
  if (!readSize(id, fileName, &width, &height) || width <= 0 || height <= 0) return nullptr;
  mEntries.push_back(std::make_unique<CachedBitmap>(id, fileName ? fileName : "", width, height));
  return mEntries.back().get();
}

const LICE_IBitmap* BitmapCache::Pixels(CachedBitmap* entry, const Decoder& decode) {
  if (!entry) return nullptr;
  if (const LICE_IBitmap* pixels = entry->Decoded()) return pixels;
  std::lock_guard<std::mutex> lock(mMutex);
  if (entry->mOwned || entry->mFailed) return entry->mOwned.get();
  std::unique_ptr<LICE_MemBitmap> bitmap = decode(entry->Id(), entry->FileName().c_str());
  // Controls were laid out from the header's size; pixels of another size would let a frame
  // offset point outside the image, so such a resource counts as damaged.
  if (!bitmap || bitmap->getWidth() != entry->Width() || bitmap->getHeight() != entry->Height()) {
    entry->mFailed = true;
    return nullptr;
  }
  entry->mOwned = std::move(bitmap);
  entry->mDecoded.store(entry->mOwned.get(), std::memory_order_release);
  return entry->mOwned.get();
}

int BitmapCache::NBitmaps() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return static_cast<int>(mEntries.size());
}

int BitmapCache::NDecoded() const {
  std::lock_guard<std::mutex> lock(mMutex);
  int n = 0;
  for (const auto& entry : mEntries) n += entry->mOwned ? 1 : 0;
  return n;
}

void BitmapCache::ReleasePixels() {
  std::lock_guard<std::mutex> lock(mMutex);
  for (const auto& entry : mEntries) {
    entry->mDecoded.store(nullptr, std::memory_order_release);
    entry->mOwned.reset();
    entry->mFailed = false;
  }
}
