#pragma once

#include <cstddef>
#include <cstring>

// Bounded copy into a fixed text field: never writes past size bytes and always terminates.
inline void CopyText(char* dst, std::size_t size, const char* src) {
  if (!dst || size == 0) return;
  if (!src) src = "";
  std::size_t n = std::strlen(src);
  if (n >= size) n = size - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

template <std::size_t N>
void CopyText(char (&dst)[N], const char* src) {
  CopyText(dst, N, src);
}
