// Program files as a user might open them.
#include "fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzPlugin().LoadProgramFromMemory(data, size);
  return 0;
}
