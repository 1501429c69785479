// PNG data as a damaged resource or a hostile file might hold it: decoding never crashes, hangs
// or reads outside its input, and a bitmap it returns has the size its header promised.
#include <cstdint>
#include <cstdlib>

#include "drawing/LICE.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto bitmap = LICE_LoadPNGFromMemory(data, size);
  if (!bitmap) return 0;
  if (size < 24) std::abort();
  const auto header = [&](std::size_t at) {
    return static_cast<int>((std::uint32_t{data[at]} << 24) | (std::uint32_t{data[at + 1]} << 16) |
                            (std::uint32_t{data[at + 2]} << 8) | data[at + 3]);
  };
  if (bitmap->getWidth() != header(16) || bitmap->getHeight() != header(20)) std::abort();
  // Touch every pixel so that the sanitizers see any short allocation.
  std::uint32_t sum = 0;
  const int count = bitmap->getWidth() * bitmap->getHeight();
  for (int i = 0; i < count; ++i) sum += bitmap->getBits()[i];
  volatile std::uint32_t sink = sum;
  (void)sink;
  return 0;
}
