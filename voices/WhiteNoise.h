#pragma once

#include <atomic>
#include <cstdint>

// The white-noise source of every noise voice and of the quijada's random pulse placement: a
// multiplicative congruential generator over 32-bit two's-complement integers. There is one
// sequence per process, shared by all voices of all plug-in instances.
//
// Thread use: any thread may draw. Two instances may draw from their audio threads at the same
// time, so each draw is one indivisible step of the sequence; a single instance sees exactly the
// same values as with a plain integer, and no step is lost or repeated under contention.
class WhiteNoise {
 public:
  static constexpr std::int32_t kInitialSeed = 1;
  static constexpr std::uint32_t kMultiplier = 16807u;
  // Slightly above 2^-31, so the extremes reach about +-1.0000000053.
  static constexpr double kScale = 4.6566129e-10;

  // Next value in about -1..+1. Lock-free; safe on the audio thread.
  static double draw() {
    std::uint32_t current = noiseSeed.load(std::memory_order_relaxed);
    std::uint32_t next;
    do {
      // Unsigned arithmetic gives the 32-bit wrap-around without signed overflow.
      next = current * kMultiplier;
    } while (!noiseSeed.compare_exchange_weak(current, next, std::memory_order_relaxed,
                                              std::memory_order_relaxed));
    return static_cast<std::int32_t>(next) * kScale;
  }

  // Current seed (the integer behind the last value drawn).
  static std::int32_t seed() {
    return static_cast<std::int32_t>(noiseSeed.load(std::memory_order_relaxed));
  }

  // Back to the start of the sequence, for tests and reproducible renders. Every instance in the
  // process is affected.
  static void reset() { noiseSeed.store(kInitialSeed, std::memory_order_relaxed); }

 private:
  static_assert(std::atomic<std::uint32_t>::is_always_lock_free,
                "the audio thread must never wait for the noise seed");

  // Odd from the start and multiplied only by an odd number: it can never become 0.
  static inline std::atomic<std::uint32_t> noiseSeed{kInitialSeed};
};
