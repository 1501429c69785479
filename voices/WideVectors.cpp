#include "voices/WideVectors.h"

namespace {

bool ProcessorHasWideVectors() {
#if RHYTHMORIA_WIDE_VECTORS
  // Called while the library loads, perhaps before the compiler's own start-up code has asked.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx");
#else
  return false;
#endif
}

}  // namespace

bool WideVectors::enabled = ProcessorHasWideVectors();
