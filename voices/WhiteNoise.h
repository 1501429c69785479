#pragma once

#include <emmintrin.h>

#include <array>
#include <atomic>
#include <cstdint>

// The white-noise source of every noise voice and of the quijada's random pulse placement: a
// multiplicative congruential generator over 32-bit two's-complement integers. There is one
// sequence per process, shared by all voices of all plug-in instances.
//
// Thread use: any thread may draw. Two instances may draw from their audio threads at the same
// time, so each draw is one indivisible step of the sequence; a single instance sees exactly the
// same values as with a plain integer, and no step is repeated under contention.
//
// The engine takes its draws a run at a time: reserve() claims the next count values in one step
// (value k of the run is start x 16807^k); no other thread can be handed a value of the run, and
// without contention the sequence is exactly the one drawn value by value. A caller that claimed
// more than it drew can hand the unused end back with giveBack(); if another instance drew in the
// meantime, the unused end stays claimed: those values are skipped, never handed out twice.
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

  // 16807^k in 32-bit wrap-around arithmetic: k steps of the sequence in one multiplication.
  // The engine asks for small k on every run (up to 6 voices x 64 samples), so those come from
  // a table.
  static constexpr std::uint32_t power(std::uint32_t k) {
    return k < kTabledPowers ? kPowers[k] : computePower(k);
  }

  // The value of a seed, as draw() returns it.
  static double value(std::uint32_t seed) { return static_cast<std::int32_t>(seed) * kScale; }

  // out[i] = value(first x step^i) for i < n: every step-th value of the sequence from first,
  // which is what one voice gets while several draw in turn. Returns the seed of the last value
  // (first if n is 0). Four at a time, each 32-bit product in the low half of a 64-bit lane (the
  // low 32 bits of the 64-bit product are the wrapped 32-bit one), converted and scaled exactly
  // as value() does.
  static std::uint32_t fillEvery(std::uint32_t first, std::uint32_t step, double* out, int n) {
    int i = 0;
    std::uint32_t seed = first;
    std::uint32_t last = first;
    if (n >= 4) {
      // Values i, i + 1 in one vector and i + 2, i + 3 in another, each moved on by step^4: two
      // independent chains of multiplications instead of one.
      const std::uint32_t twoSteps = step * step;
      const auto fourSteps = static_cast<std::int64_t>(twoSteps * twoSteps);
      __m128i low = _mm_set_epi64x(static_cast<std::int64_t>(first * step), first);
      __m128i high = _mm_set_epi64x(static_cast<std::int64_t>(first * twoSteps * step),
                                    static_cast<std::int64_t>(first * twoSteps));
      const __m128i multiplier = _mm_set_epi64x(fourSteps, fourSteps);
      const __m128d scale = _mm_set1_pd(kScale);
      for (;;) {
        // The two seeds from dwords 0 and 2 into dwords 0 and 1, as cvtdq2pd takes them.
        const __m128i lowSeeds = _mm_shuffle_epi32(low, _MM_SHUFFLE(3, 1, 2, 0));
        const __m128i highSeeds = _mm_shuffle_epi32(high, _MM_SHUFFLE(3, 1, 2, 0));
        _mm_storeu_pd(out + i, _mm_mul_pd(_mm_cvtepi32_pd(lowSeeds), scale));
        _mm_storeu_pd(out + i + 2, _mm_mul_pd(_mm_cvtepi32_pd(highSeeds), scale));
        i += 4;
        if (i + 4 > n) {
          last = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(highSeeds, 4)));
          seed = last * step;
          break;
        }
        low = _mm_mul_epu32(low, multiplier);
        high = _mm_mul_epu32(high, multiplier);
      }
    }
    for (; i < n; ++i) {
      out[i] = value(seed);
      last = seed;
      seed *= step;
    }
    return last;
  }

  // Claims the next count values; returns the seed before them, so that the run's value k
  // (1-based) is value(start x power(k)). The shared seed moves to the run's end.
  static std::uint32_t reserve(std::uint32_t count) {
    const std::uint32_t step = power(count);
    std::uint32_t current = noiseSeed.load(std::memory_order_relaxed);
    while (!noiseSeed.compare_exchange_weak(current, current * step, std::memory_order_relaxed,
                                            std::memory_order_relaxed)) {
    }
    return current;
  }

  // After reserve() handed out a run ending at reservedEnd of which only the part up to usedEnd
  // was drawn: the rest goes back unless another thread drew meanwhile.
  static void giveBack(std::uint32_t reservedEnd, std::uint32_t usedEnd) {
    if (reservedEnd == usedEnd) return;
    noiseSeed.compare_exchange_strong(reservedEnd, usedEnd, std::memory_order_relaxed,
                                      std::memory_order_relaxed);
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

  static constexpr std::uint32_t computePower(std::uint32_t k) {
    std::uint32_t result = 1u;
    std::uint32_t base = kMultiplier;
    for (; k != 0; k >>= 1) {
      if (k & 1u) result *= base;
      base *= base;
    }
    return result;
  }
  static constexpr std::uint32_t kTabledPowers = 6 * 64 + 1;
  static constexpr std::array<std::uint32_t, kTabledPowers> kPowers = [] {
    std::array<std::uint32_t, kTabledPowers> powers{};
    std::uint32_t p = 1u;
    for (std::uint32_t& entry : powers) {
      entry = p;
      p *= kMultiplier;
    }
    return powers;
  }();

  // Odd from the start and multiplied only by an odd number: it can never become 0.
  static inline std::atomic<std::uint32_t> noiseSeed{kInitialSeed};
};
