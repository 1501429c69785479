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

// Samples until the voice's predicate turns false, or -1.
template <typename Pred>
int samplesWhile(Conga& c, Pred pred, int limit) {
  for (int i = 0; i < limit; ++i) {
    if (!pred()) return i;
    c.process();
  }
  return -1;
}

}  // namespace

TEST(CongaTest, TonesEndIndependentlyAndResetTheirOwnPhase) {
  Conga c = makeConga(0.01, 0.1);
  c.trigger(0);
  const int end1 = samplesWhile(
      c, [&] { return c.envelope1.stage != Envelope::Idle; }, 20000);
  ASSERT_GT(end1, 0);
  EXPECT_EQ(c.oscillator1.phase, 0u);
  EXPECT_NE(c.oscillator2.phase, 0u);
  EXPECT_TRUE(c.isActive());

  // The stopped tone no longer advances while the other still sounds.
  render(c, 100);
  EXPECT_EQ(c.oscillator1.phase, 0u);
  const int end2 = samplesWhile(
      c, [&] { return c.isActive(); }, 20000);
  ASSERT_GT(end2, 0);
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
  int n = 0;
  while (b.isActive()) {
    ASSERT_EQ(c.process(), b.process()) << n;
    ++n;
  }
  EXPECT_TRUE(c.isActive());
  for (double s : render(c, 100)) EXPECT_EQ(s, 0.0);
  EXPECT_NE(c.oscillator2.phase, 0u);
}

TEST(CongaTest, RetriggerContinuesBothTonesFromTheirLevels) {
  Conga c = makeConga(0.25, 0.004);
  c.trigger(0);
  render(c, 200);
  const auto phase1 = c.oscillator1.phase;
  const double level1 = c.envelope1.value;
  c.trigger(200);
  EXPECT_EQ(c.triggerTime, 200);
  EXPECT_EQ(c.oscillator1.phase, phase1);
  EXPECT_EQ(c.envelope1.value, level1);
  EXPECT_EQ(c.envelope1.stage, Envelope::Attack);
  EXPECT_EQ(c.envelope2.stage, Envelope::Attack);
}
