#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/Rhythmoria.h"

// One engine per fuzzing process, built once: readers are run against it input after input, the
// way a host feeds one instance chunk after chunk.
inline Rhythmoria& FuzzPlugin() {
  static Rhythmoria* plug = [] {
    // A settings folder of its own: the fuzzer must neither read nor write the user's settings.
    static char folder[] = "/tmp/rhythmoria-fuzz-XXXXXX";
    if (mkdtemp(folder)) setenv("XDG_CONFIG_HOME", folder, 1);
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
