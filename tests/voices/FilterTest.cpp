#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "voices/HighPass.h"
#include "voices/Resonator.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kRate = 44100.0;

HighPass makeHighPass(double hz) {
  HighPass hp(hz);
  hp.setSampleRate(kRate);
  return hp;
}

Resonator makeResonator(double hz, double q) {
  Resonator r;
  r.setSampleRate(kRate);
  r.setFrequency(hz);
  r.setQ(q);
  return r;
}

// Peak output over the second half of n samples of a sine at hz, past the filter's transient.
template <typename F>
double steadyPeak(F& filter, double hz, int n) {
  double peak = 0.0;
  for (int i = 0; i < n; ++i) {
    const double y = filter.process(std::sin(2.0 * std::numbers::pi * hz * i / kRate));
    if (i >= n / 2) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

}  // namespace

TEST(HighPassTest, BlocksLowAndPassesHighFrequencies) {
  HighPass hp = makeHighPass(1000.0);
  EXPECT_LT(steadyPeak(hp, 50.0, 20000), 0.01);
  hp.setFrequency(1000.0);
  EXPECT_NEAR(steadyPeak(hp, 1000.0, 20000), std::sqrt(0.5), 0.01);
  hp.setFrequency(1000.0);
  EXPECT_NEAR(steadyPeak(hp, 10000.0, 20000), 1.0, 0.01);
}

TEST(HighPassTest, FrequencyChangeClearsHistoryAndRestartsOffset) {
  HighPass hp = makeHighPass(1000.0);
  for (int i = 0; i < 11; ++i) hp.process(0.5);
  hp.setFrequency(800.0);
  EXPECT_EQ(hp.frequency, 800.0);
  EXPECT_EQ(hp.x1, 0.0);
  EXPECT_EQ(hp.x2, 0.0);
  EXPECT_EQ(hp.y1, 0.0);
  EXPECT_EQ(hp.y2, 0.0);
  EXPECT_EQ(hp.offset, 1e-13);
}

TEST(HighPassTest, NaNInInputOrHistoryIsFlushed) {
  HighPass hp = makeHighPass(1000.0);
  hp.process(0.3);
  EXPECT_TRUE(std::isfinite(hp.process(kNaN)));
  hp.x1 = hp.x2 = hp.y1 = hp.y2 = kNaN;
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(std::isfinite(hp.process(std::sin(i * 0.3))));
}

TEST(HighPassTest, LongSilenceAfterAnImpulseNeverReachesDenormals) {
  HighPass hp = makeHighPass(1000.0);
  hp.process(1.0);
  // Ten seconds of silence: without the offset the history would sink below 1e-308.
  for (int i = 0; i < 441000; ++i) {
    const double y = hp.process(0.0);
    ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << i;
    ASSERT_NE(std::fpclassify(hp.y1), FP_SUBNORMAL) << i;
    ASSERT_NE(std::fpclassify(hp.x1), FP_SUBNORMAL) << i;
  }
}

TEST(ResonatorTest, PeakGainAtCentreEqualsQ) {
  Resonator r = makeResonator(1000.0, 2.0);
  EXPECT_NEAR(steadyPeak(r, 1000.0, 20000), 2.0, 0.01);
  Resonator narrow = makeResonator(5000.0, 10.0);
  EXPECT_NEAR(steadyPeak(narrow, 5000.0, 40000), 10.0, 0.05);
  EXPECT_LT(steadyPeak(narrow, 500.0, 40000), 0.2);
}

TEST(ResonatorTest, NaNInInputOrHistoryIsFlushed) {
  Resonator r = makeResonator(1000.0, 2.0);
  r.process(0.3);
  EXPECT_TRUE(std::isfinite(r.process(kNaN)));
  r.x1 = r.x2 = r.y1 = r.y2 = kNaN;
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(std::isfinite(r.process(std::sin(i * 0.3))));
}

TEST(ResonatorTest, FrequencyBeforeAnyQGivesSilenceNotNaN) {
  Resonator r;
  r.setSampleRate(kRate);
  r.setFrequency(5500.0);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(r.process(std::sin(i * 0.3)), 0.0);
  r.setQ(0.4);
  double energy = 0.0;
  for (int i = 0; i < 100; ++i) energy += std::fabs(r.process(std::sin(i * 0.3)));
  EXPECT_GT(energy, 0.0);
}

TEST(ResonatorTest, SampleRateChangeSilencesUntilReconfigured) {
  Resonator r = makeResonator(1000.0, 2.0);
  for (int i = 0; i < 10; ++i) r.process(std::sin(i * 0.3));
  r.setSampleRate(48000.0);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(r.process(std::sin(i * 0.3)), 0.0);
  r.setQ(2.0);
  EXPECT_NE(r.process(1.0), 0.0);
}
