#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/Rhythmoria.h"

// One engine per fuzzing process, built once: readers are run against it input after input, the
// way a host feeds one instance chunk after chunk.
inline Rhythmoria& FuzzPlugin() {
  static Rhythmoria* plug = [] {
    auto* p = new Rhythmoria(IPlugInstanceInfo{});
    p->FillEmptyPrograms("Empty", p->NPrograms());
    return p;
  }();
  return *plug;
}

inline ChunkBuffer ChunkOf(const std::uint8_t* data, std::size_t size) {
  ChunkBuffer chunk;
  chunk.PutRaw(data, size);
  return chunk;
}
