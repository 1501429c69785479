#include "voices/Conga.h"

#include <gtest/gtest.h>

#include "tests/support/TestSignals.h"
#include "voices/Base.h"

using testing_support::render;

namespace {

Conga makeConga(double decay1, double decay2) {
  Conga c;
  c.setSampleRate(44100.0);
  c.setFrequency1(195.0);
  c.setFrequency2(4600.0);
  c.setAttack(0.001);
  c.setDecay1(decay1);
  c.setDecay2(decay2);
  return c;
}

}  // namespace

TEST(CongaTest, TonesEndIndependentlyAndResetTheirOwnPhase) {
  Conga c = makeConga(0.01, 0.1);
  c.trigger(0);
  while (c.envelope1.stage != Envelope::Idle) c.process();
  EXPECT_EQ(c.oscillator1.phase, 0u);
  EXPECT_NE(c.oscillator2.phase, 0u);
  // The stopped tone does not advance while the other still sounds.
  render(c, 100);
  EXPECT_TRUE(c.isActive());
  EXPECT_EQ(c.oscillator1.phase, 0u);
  while (c.isActive()) c.process();
  EXPECT_EQ(c.oscillator2.phase, 0u);
  EXPECT_EQ(c.process(), 0.0);
}

TEST(CongaTest, SilentSecondToneLeavesABaseToneThatLastsAsLongAsTheLongerEnvelope) {
  Conga c = makeConga(0.05, 0.2);
  c.setLevel2(0.0);
  c.gain = 0.7;
  Base b;
  b.setSampleRate(44100.0);
  b.setFrequency(195.0);
  b.setAttack(0.001);
  b.setDecay(0.05);
  b.gain = 0.7;
  c.trigger(0);
  b.trigger(0);
  for (int n = 0; b.isActive(); ++n) ASSERT_EQ(c.process(), b.process()) << n;
  EXPECT_TRUE(c.isActive());
  for (double s : render(c, 100)) EXPECT_EQ(s, 0.0);
}
