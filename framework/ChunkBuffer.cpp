#include "framework/ChunkBuffer.h"

#include <algorithm>
#include <cstring>

int ChunkBuffer::PutRaw(const void* data, std::size_t size) {
  if (size > 0) {
    Own();
    // Grown and then copied rather than inserted: GCC 12 sees an overflow that cannot happen in
    // vector::insert after Clear() and warns about it in release builds. Growing leaves the new
    // bytes uninitialised (see the allocator), so nothing is written twice.
    const std::size_t end = mBytes.size();
    mBytes.resize(end + size);
    std::memcpy(mBytes.data() + end, data, size);
  }
  return Size();
}

int ChunkBuffer::PutString(std::string_view text) {
  const std::int32_t length = static_cast<std::int32_t>(text.size());
  PutBytes(length);
  return PutRaw(text.data(), text.size());
}

int ChunkBuffer::GetString(std::string* text, int position) const {
  std::int32_t length = 0;
  position = GetBytes(&length, position);
  if (position < 0) return -1;
  // A negative length would move a reader backwards over bytes it already consumed.
  if (length < 0) return -1;
  // A length reaching past the end is damage, not a name to skip: failing here keeps a reader
  // from treating the rest of a cut-off chunk as a success.
  if (!Available(position, static_cast<std::size_t>(length))) return -1;
  text->assign(reinterpret_cast<const char*>(Data() + position), static_cast<std::size_t>(length));
  return position + length;
}

void ChunkBuffer::Resize(int size) {
  Own();
  mBytes.resize(size > 0 ? static_cast<std::size_t>(size) : 0, 0);
}

void ChunkBuffer::Reserve(int size) {
  Own();
  if (size > 0) mBytes.reserve(static_cast<std::size_t>(size));
}

void BeginVersionedChunk(ChunkBuffer& chunk) {
  chunk.Clear();
  chunk.PutRaw(kChunkMagic, sizeof(kChunkMagic));
  chunk.PutBytes(kChunkVersion);
}

bool HasChunkMagic(const std::uint8_t* data, std::size_t size, std::size_t position) {
  return data && position <= size && size - position >= sizeof(kChunkMagic) &&
         std::equal(kChunkMagic, kChunkMagic + sizeof(kChunkMagic), data + position);
}

std::int32_t ReadChunkVersion(const ChunkBuffer& chunk, int* position) {
  if (!position || *position < 0) return 0;
  const auto at = static_cast<std::size_t>(*position);
  if (!HasChunkMagic(chunk.Data(), static_cast<std::size_t>(chunk.Size()), at)) return 0;
  std::int32_t version = 0;
  *position = chunk.GetBytes(&version, *position + static_cast<int>(sizeof(kChunkMagic)));
  return *position < 0 ? 0 : version;
}
