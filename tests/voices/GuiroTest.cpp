#include "voices/Guiro.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/support/TestSignals.h"

using testing_support::render;

namespace {

Guiro makeGuiro(double density) {
  Guiro g;
  g.setSampleRate(44100.0);
  g.setFrequency(4100.0);
  g.setRate(65.0);
  g.setDensity(density);
  return g;
}

}  // namespace

TEST(GuiroTest, SustainsAtNineTenthsOfGainUntilReleased) {
  Guiro g = makeGuiro(0.0006);
  g.gain = 2.0;
  g.trigger(0);
  const auto held = render(g, 44100 * 3);
  EXPECT_TRUE(g.isActive());
  EXPECT_NEAR(g.mainEnvelope.value, 0.9, 1e-12);
  double lastSecondPeak = 0.0;
  for (auto i = held.size() - 44100; i < held.size(); ++i) {
    lastSecondPeak = std::max(lastSecondPeak, std::fabs(held[i]));
  }
  EXPECT_LE(lastSecondPeak, 0.9 * 2.0 + 1e-9);
  EXPECT_GT(lastSecondPeak, 0.5 * 2.0);

  g.release();
  int n = 0;
  for (; g.isActive() && n < 1000; ++n) g.process();
  // From 0.9 toward -1/9, the 10 ms release crosses 0 after ln(9.1) time constants.
  EXPECT_NEAR(n, std::log(9.1) * 0.0101 * 0.4 * 44100, 2);
  EXPECT_EQ(g.process(), 0.0);
}

TEST(GuiroTest, ReleaseBeforeAnySoundEndsTheNoteAtOnce) {
  Guiro g = makeGuiro(0.0006);
  g.trigger(0);
  g.release();
  EXPECT_FALSE(g.isActive());
  EXPECT_EQ(g.process(), 0.0);
}

TEST(GuiroTest, OneBurstPerRateCycleEachStartingAtPhaseZero) {
  Guiro g = makeGuiro(0.0001);
  g.trigger(0);
  int bursts = 0;
  for (int i = 0; i < 44100; ++i) {
    const bool wasIdle = g.pulseEnvelope.stage == Envelope::Idle;
    g.process();
    bursts += wasIdle && g.pulseEnvelope.stage != Envelope::Idle;
    if (g.pulseEnvelope.stage == Envelope::Idle) {
      ASSERT_EQ(g.toneOscillator.phase, 0u);
    }
  }
  EXPECT_NEAR(bursts, 65, 1);
}
