#include "voices/WhiteNoise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

// The n-th seed from 1, computed independently in 64-bit arithmetic reduced mod 2^32.
std::int32_t seedAfter(int n) {
  std::uint64_t s = 1;
  for (int i = 0; i < n; ++i) s = (s * 16807u) % 4294967296u;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(s));
}

}  // namespace

TEST(WhiteNoiseTest, SequenceFromSeedOneWrapsAroundIn32Bits) {
  WhiteNoise::reset();
  EXPECT_EQ(WhiteNoise::draw(), 16807 * 4.6566129e-10);
  EXPECT_EQ(WhiteNoise::draw(), 282475249 * 4.6566129e-10);
  // The third product no longer fits in 32 bits.
  for (int n = 3; n <= 1000; ++n) {
    const double v = WhiteNoise::draw();
    ASSERT_EQ(WhiteNoise::seed(), seedAfter(n)) << "draw " << n;
    ASSERT_EQ(v, seedAfter(n) * 4.6566129e-10);
    ASSERT_NE(WhiteNoise::seed() % 2, 0);
  }
}

TEST(WhiteNoiseTest, ConcurrentDrawsNeitherLoseNorRepeatASequenceStep) {
  constexpr int kPerThread = 200000;
  WhiteNoise::reset();
  std::vector<double> sequential(2 * kPerThread);
  for (auto& v : sequential) v = WhiteNoise::draw();
  const std::int32_t finalSeed = WhiteNoise::seed();

  WhiteNoise::reset();
  std::vector<double> a(kPerThread), b(kPerThread);
  std::thread ta([&] {
    for (auto& v : a) v = WhiteNoise::draw();
  });
  std::thread tb([&] {
    for (auto& v : b) v = WhiteNoise::draw();
  });
  ta.join();
  tb.join();

  EXPECT_EQ(WhiteNoise::seed(), finalSeed);
  std::vector<double> merged(a);
  merged.insert(merged.end(), b.begin(), b.end());
  std::sort(merged.begin(), merged.end());
  std::sort(sequential.begin(), sequential.end());
  EXPECT_EQ(merged, sequential);
}

TEST(WhiteNoiseTest, ReservedRunsContinueTheSequenceAndNeverShareAValue) {
  WhiteNoise::reset();
  // A run of 10 of which 4 are used gives back the rest: the next draw is the fifth value.
  const std::uint32_t start = WhiteNoise::reserve(10);
  EXPECT_EQ(static_cast<std::int32_t>(start * WhiteNoise::power(3)), seedAfter(3));
  WhiteNoise::giveBack(start * WhiteNoise::power(10), start * WhiteNoise::power(4));
  WhiteNoise::draw();
  EXPECT_EQ(WhiteNoise::seed(), seedAfter(5));

  // Two threads claiming runs at once: every value is handed to one run at most.
  constexpr int kRuns = 20000;
  constexpr std::uint32_t kRunLength = 7;
  WhiteNoise::reset();
  std::vector<std::uint32_t> a(kRuns), b(kRuns);
  auto claim = [](std::vector<std::uint32_t>& starts) {
    for (auto& s : starts) s = WhiteNoise::reserve(kRunLength);
  };
  std::thread ta(claim, std::ref(a));
  std::thread tb(claim, std::ref(b));
  ta.join();
  tb.join();
  std::vector<std::uint32_t> values;
  for (const auto* starts : {&a, &b}) {
    for (std::uint32_t s : *starts) {
      for (std::uint32_t k = 1; k <= kRunLength; ++k) values.push_back(s * WhiteNoise::power(k));
    }
  }
  std::sort(values.begin(), values.end());
  EXPECT_EQ(std::adjacent_find(values.begin(), values.end()), values.end());
}

// A voice's share of a run, every step-th value, comes out as if drawn one by one, for odd and even
// lengths (around the four values taken at a time) and across the 32-bit wrap-around; the seed
// handed back is that of its last value.
TEST(WhiteNoiseTest, EveryStepthValueMatchesTheSequence) {
  for (std::uint32_t stride : {1u, 2u, 3u, 6u}) {
    for (int n : {0, 1, 2, 3, 4, 5, 7, 8, 63, 64}) {
      const std::uint32_t first = 16807u * 2147483647u;
      double out[64];
      const std::uint32_t returned =
          WhiteNoise::fillEvery(first, WhiteNoise::power(stride), out, n);
      std::uint32_t seed = first;
      std::uint32_t last = first;
      for (int i = 0; i < n; ++i) {
        ASSERT_EQ(out[i], WhiteNoise::value(seed)) << "stride " << stride << " value " << i;
        last = seed;
        for (std::uint32_t s = 0; s < stride; ++s) seed *= WhiteNoise::kMultiplier;
      }
      EXPECT_EQ(returned, last) << "stride " << stride << " length " << n;
    }
  }
}

TEST(WhiteNoiseTest, PowersAreRepeatedSteps) {
  std::uint32_t p = 1u;
  for (std::uint32_t k = 0; k <= 1000; ++k) {
    ASSERT_EQ(WhiteNoise::power(k), p) << k;
    p *= WhiteNoise::kMultiplier;
  }
}
