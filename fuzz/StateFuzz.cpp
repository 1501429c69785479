// The engine's state payload reader, as a host's program chunk reaches it.
#include "fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Rhythmoria& plug = FuzzPlugin();
  const ChunkBuffer chunk = ChunkOf(data, size);
  const int position = plug.UnserializeState(chunk, 0);
  if (position > chunk.Size()) __builtin_trap();
  return 0;
}
