#include "voices/Quijada.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/TestSignals.h"
#include "voices/WhiteNoise.h"

using testing_support::render;

namespace {

Quijada makeQuijada(double density) {
  Quijada q;
  q.setSampleRate(44100.0);
  q.setFrequency(2700.0);
  q.setRate(25.0);
  q.setAttack(0.05);
  q.setDecay(0.5);
  q.setDensity(density);
  return q;
}

}  // namespace

TEST(QuijadaTest, TriggerPlacesTheBurstsFromTwoDrawsAndIgnoresNoteOff) {
  WhiteNoise::reset();
  Quijada q = makeQuijada(0.0036);
  q.trigger(7);
  EXPECT_EQ(WhiteNoise::seed(), 282475249);
  // The first draw is positive, so the strong burst sits on the zero crossing.
  EXPECT_EQ(q.thresholdA, 0.0);
  EXPECT_EQ(q.thresholdB, 282475249 * 4.6566129e-10 * 0.5 + 0.1);
  render(q, 3000);
  q.release();
  EXPECT_TRUE(q.isActive());
  EXPECT_EQ(q.mainEnvelope.stage, Envelope::Decay);
  // Playing the note draws nothing more.
  EXPECT_EQ(WhiteNoise::seed(), 282475249);
}

TEST(QuijadaTest, ThresholdsAlwaysHoldOneZeroAndOneValueInRange) {
  WhiteNoise::reset();
  Quijada q = makeQuijada(0.0036);
  int strongAtZero = 0;
  constexpr int kNotes = 5000;
  for (int i = 0; i < kNotes; ++i) {
    q.trigger(i);
    const bool aZero = q.thresholdA == 0.0;
    ASSERT_NE(aZero, q.thresholdB == 0.0) << i;
    const double other = aZero ? q.thresholdB : q.thresholdA;
    // A draw may exceed 1 by the scale's 5e-9.
    ASSERT_TRUE(other >= 0.1 && other <= 0.6 + 1e-8) << i << ": " << other;
    strongAtZero += aZero;
  }
  EXPECT_GT(strongAtZero, kNotes / 3);
  EXPECT_LT(strongAtZero, kNotes * 2 / 3);
}

TEST(QuijadaTest, TwoBurstsPerRateCycleWithTheToneAtPhaseZeroBetween) {
  Quijada q = makeQuijada(0.0001);
  q.trigger(0);
  int strong = 0, weak = 0, cycles = 0;
  double previous = 0.0;
  while (q.isActive()) {
    const bool aIdle = q.pulseA.stage == Envelope::Idle;
    const bool bIdle = q.pulseB.stage == Envelope::Idle;
    q.process();
    strong += aIdle && q.pulseA.stage == Envelope::Attack;
    weak += bIdle && q.pulseB.stage == Envelope::Attack;
    cycles += previous <= 0.0 && q.previousRate > 0.0;
    previous = q.previousRate;
    if (q.pulseA.stage == Envelope::Idle && q.pulseB.stage == Envelope::Idle) {
      ASSERT_EQ(q.toneOscillator.phase, 0u);
    }
  }
  EXPECT_GT(cycles, 5);
  EXPECT_NEAR(strong, cycles, 1);
  EXPECT_NEAR(weak, cycles, 1);
}
