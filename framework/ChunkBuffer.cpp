#include "framework/ChunkBuffer.h"

#include <limits>

int ChunkBuffer::PutRaw(const void* data, std::size_t size) {
  if (size > 0) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    mBytes.insert(mBytes.end(), bytes, bytes + size);
  }
  return Size();
}

int ChunkBuffer::PutString(const std::string& text) {
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
  if (length == 0) {
    text->clear();
  } else if (Available(position, static_cast<std::size_t>(length))) {
    text->assign(reinterpret_cast<const char*>(mBytes.data() + position),
                 static_cast<std::size_t>(length));
  }
  // The position moves past the declared length even when the bytes are missing, so a reader
  // that checks only the final position still sees the failure; guard against int overflow.
  const long long next = static_cast<long long>(position) + length;
  if (next < 0 || next > std::numeric_limits<int>::max()) return -1;
  return static_cast<int>(next);
}

void ChunkBuffer::Resize(int size) {
  mBytes.resize(size > 0 ? static_cast<std::size_t>(size) : 0, 0);
}
