// Chunks handed over by a host: the first byte picks bank or program and whether the host sends
// everything through the program path; the rest is the chunk.
#include "fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Rhythmoria& plug = FuzzPlugin();
  const bool programPathHost = (data[0] & 2) != 0;
  const bool isBank = !programPathHost && (data[0] & 1) != 0;
  plug.ReadHostChunk(data + 1, static_cast<int>(size - 1), isBank, programPathHost);
  return 0;
}
