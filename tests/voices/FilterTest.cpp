#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "voices/HighPass.h"
#include "voices/Resonator.h"

namespace {

constexpr double kRate = 44100.0;

// Peak output over the second half of n samples of a sine at hz, past the transient.
template <typename F>
double steadyPeak(F& filter, double hz, int n) {
  double peak = 0.0;
  for (int i = 0; i < n; ++i) {
    const double y = filter.process(std::sin(2.0 * std::numbers::pi * hz * i / kRate));
    if (i >= n / 2) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

Resonator makeResonator(double hz, double q) {
  Resonator r;
  r.setSampleRate(kRate);
  r.setFrequency(hz);
  r.setQ(q);
  return r;
}

}  // namespace

TEST(FilterTest, HighPassIsButterworthAtItsCorner) {
  HighPass hp(1000.0);
  hp.setSampleRate(kRate);
  EXPECT_LT(steadyPeak(hp, 50.0, 20000), 0.01);
  hp.setFrequency(1000.0);
  EXPECT_NEAR(steadyPeak(hp, 1000.0, 20000), std::sqrt(0.5), 0.01);
  hp.setFrequency(1000.0);
  EXPECT_NEAR(steadyPeak(hp, 10000.0, 20000), 1.0, 0.01);
}

TEST(FilterTest, ResonatorPeakGainEqualsQ) {
  Resonator r = makeResonator(5000.0, 10.0);
  EXPECT_NEAR(steadyPeak(r, 5000.0, 40000), 10.0, 0.05);
  EXPECT_LT(steadyPeak(r, 500.0, 40000), 0.2);
}

TEST(FilterTest, NaNInInputOrHistoryIsFlushedFromBothFilters) {
  const double nan = std::nan("");
  HighPass hp(1000.0);
  hp.setSampleRate(kRate);
  Resonator r = makeResonator(1000.0, 2.0);
  EXPECT_TRUE(std::isfinite(hp.process(nan)));
  EXPECT_TRUE(std::isfinite(r.process(nan)));
  hp.x1 = hp.x2 = hp.y1 = hp.y2 = nan;
  r.x1 = r.x2 = r.y1 = r.y2 = nan;
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(std::isfinite(hp.process(std::sin(i * 0.3))));
    ASSERT_TRUE(std::isfinite(r.process(std::sin(i * 0.3))));
  }
}

TEST(FilterTest, HighPassNeverReachesDenormalsInLongSilence) {
  HighPass hp(1000.0);
  hp.setSampleRate(kRate);
  hp.process(1.0);
  // Ten seconds: without the offset the history would sink below 1e-308.
  for (int i = 0; i < 441000; ++i) {
    ASSERT_NE(std::fpclassify(hp.process(0.0)), FP_SUBNORMAL) << i;
    ASSERT_NE(std::fpclassify(hp.x1), FP_SUBNORMAL) << i;
  }
}

TEST(FilterTest, ResonatorGivenFrequencyBeforeQIsSilentNotNaN) {
  Resonator r;
  r.setSampleRate(kRate);
  r.setFrequency(5500.0);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(r.process(std::sin(i * 0.3)), 0.0);
  r.setQ(0.4);
  EXPECT_NE(r.process(1.0), 0.0);
}

namespace {

// At low sample rates the highest corners lie above the Nyquist frequency; the filters must stay
// stable there instead of filling the output with infinities.
TEST(FilterStabilityTest, CornersAboveNyquistStayFinite) {
  for (double rate : {8000.0, 16000.0, 22050.0}) {
    Resonator resonator;
    resonator.setSampleRate(rate);
    resonator.frequency = 12000.0;
    resonator.q = 200.0;
    resonator.update();
    HighPass highpass(12000.0);
    highpass.setSampleRate(rate);
    double peak = 0.0;
    for (int n = 0; n < 200000; ++n) {
      const double in = n == 0 ? 1.0 : 0.0;
      peak = std::max(peak, std::fabs(resonator.process(in)) + std::fabs(highpass.process(in)));
    }
    EXPECT_TRUE(std::isfinite(peak)) << rate;
    EXPECT_LT(peak, 1000.0) << rate;
  }
}

}  // namespace
