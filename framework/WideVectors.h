#pragma once

// The kernels that take four doubles (or eight floats) to a vector need 256-bit registers, which
// not every processor has: they are compiled for them apart from the rest of their file (where
// RHYTHMORIA_WIDE_VECTORS is 1) and chosen at run time. Not on Windows, where the compiler we
// build with does not align the 256-bit values it keeps on the stack; there the 128-bit kernels
// do the same work. Every result is the same either way, to the bit.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(_WIN32)
#define RHYTHMORIA_WIDE_VECTORS 1
#else
#define RHYTHMORIA_WIDE_VECTORS 0
#endif

struct WideVectors {
  // Whether the 256-bit kernels run: set when the library loads, where the processor has them.
  // Tests clear it to compare both ways.
  static inline bool enabled = [] {
#if RHYTHMORIA_WIDE_VECTORS
    // Asked while the library loads, perhaps before the compiler's own start-up code has.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
#else
    return false;
#endif
  }();
  // Whether the few kernels that take 512-bit vectors (and their masked loads and stores) run:
  // only where enabled is also set. Tests clear it to compare both ways.
  static inline bool widest = [] {
#if RHYTHMORIA_WIDE_VECTORS
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512vl") != 0;
#else
    return false;
#endif
  }();
};
