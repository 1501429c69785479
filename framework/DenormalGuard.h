#pragma once

#if defined(__SSE__) || defined(_M_X64) || defined(_M_IX86)
#include <xmmintrin.h>
#define RHYTHMORIA_HAS_MXCSR 1
#endif

// Sets flush-to-zero and denormals-are-zero for the life of the object and restores the caller's
// floating-point mode afterwards. Decaying filters and envelopes otherwise produce denormal
// numbers that cost the CPU many times the normal price per operation.
class DenormalGuard {
 public:
#ifdef RHYTHMORIA_HAS_MXCSR
  // Writing the mode costs time on every block; many hosts have set both flags themselves.
  DenormalGuard() : mSaved(_mm_getcsr()) {
    if ((mSaved & kBoth) != kBoth) _mm_setcsr(mSaved | kBoth);
  }
  ~DenormalGuard() {
    if ((mSaved & kBoth) != kBoth) _mm_setcsr(mSaved);
  }

 private:
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  static constexpr unsigned kBoth = kFlushToZero | kDenormalsAreZero;
  unsigned mSaved;
#else
  DenormalGuard() = default;
#endif
 public:
  DenormalGuard(const DenormalGuard&) = delete;
  DenormalGuard& operator=(const DenormalGuard&) = delete;
};
