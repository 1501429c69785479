#include "voices/Base.h"

#include <gtest/gtest.h>

#include "tests/support/TestSignals.h"

namespace {

class BaseTest : public ::testing::Test {
 protected:
  // The bass drum as the factory sets it up at 44.1 kHz: 65 Hz, attack 1 ms, decay 200 ms.
  void SetUp() override {
    drum.setSampleRate(44100.0);
    drum.setFrequency(65.0);
    drum.setAttack(0.001);
    drum.setDecay(0.2);
  }

  // Index (1-based) of the first sample at which the envelope reaches full level.
  static int SamplesToPeak(Base& voice) {
    for (int n = 1; n < 100000; ++n) {
      voice.process();
      if (voice.envelope.value >= 1.0) return n;
    }
    return -1;
  }

  Base drum;
};

TEST_F(BaseTest, SilentUntilTriggered) {
  Base fresh;
  EXPECT_FALSE(fresh.isActive());
  EXPECT_EQ(fresh.process(), 0.0);
  EXPECT_EQ(fresh.oscillator.phase, 0u);
}

TEST_F(BaseTest, EnvelopePeaksOnSample44AndEndsOnSample8171) {
  drum.trigger(7);
  EXPECT_EQ(drum.triggerTime, 7);
  EXPECT_EQ(SamplesToPeak(drum), 44);
  EXPECT_EQ(drum.envelope.stage, Envelope::Decay);

  int lastAudible = 44;
  for (int n = 45; n <= 9000 && drum.isActive(); ++n) {
    drum.process();
    if (drum.isActive()) lastAudible = n;
  }
  EXPECT_EQ(lastAudible + 1, 8171);
  EXPECT_EQ(drum.envelope.value, 0.0);
  EXPECT_EQ(drum.oscillator.phase, 0u) << "the next note starts at phase 0";
  EXPECT_EQ(drum.process(), 0.0);
}

TEST_F(BaseTest, OutputIsEnvelopeTimesTableSineTimesGain) {
  drum.gain = 0.5;
  drum.trigger(0);
  const auto& table = SineOscillator::table();
  const std::uint32_t increment = drum.oscillator.increment;
  for (std::uint32_t n = 0; n < 200; ++n) {
    const std::uint32_t phase = (n * increment) & SineOscillator::kPhaseMask;
    const double expectedSine = table[phase >> 16];
    const double before = drum.envelope.value;
    const double out = drum.process();
    ASSERT_NE(before, drum.envelope.value);
    EXPECT_EQ(out, drum.envelope.value * expectedSine * 0.5) << "sample " << n;
  }
}

TEST_F(BaseTest, RetriggerContinuesFromCurrentLevelAndPhase) {
  drum.trigger(0);
  testing_support::render(drum, 2000);
  const double level = drum.envelope.value;
  const std::uint32_t phase = drum.oscillator.phase;
  ASSERT_GT(level, 0.0);
  ASSERT_LT(level, 1.0);

  drum.trigger(2000);
  EXPECT_EQ(drum.envelope.stage, Envelope::Attack);
  EXPECT_EQ(drum.envelope.value, level);
  EXPECT_EQ(drum.oscillator.phase, phase);
  drum.process();
  EXPECT_GT(drum.envelope.value, level) << "attack restarts from the current level, not from 0";
}

TEST_F(BaseTest, DecayChangeActsAtOnceAttackChangeOnlyOnNextNote) {
  drum.trigger(0);
  SamplesToPeak(drum);
  const double slowRate = drum.envelope.rate;
  drum.setAttack(0.5);
  EXPECT_EQ(drum.envelope.rate, slowRate) << "attack of a decaying note is not touched";
  drum.setDecay(0.01);
  EXPECT_EQ(drum.envelope.rate, drum.envelope.rateFor(0.01));
  EXPECT_GT(drum.envelope.rate, slowRate);
}

TEST_F(BaseTest, ZeroAttackStillTakesSamples) {
  Envelope envelope;
  EXPECT_NEAR(envelope.rateFor(0.0), 0.5669, 1e-4);
}

TEST_F(BaseTest, SampleRateChangeSilencesAndKeepsOldIncrement) {
  drum.trigger(0);
  testing_support::render(drum, 100);
  const std::uint32_t increment = drum.oscillator.increment;
  drum.setSampleRate(48000.0);
  EXPECT_FALSE(drum.isActive());
  EXPECT_EQ(drum.process(), 0.0);
  EXPECT_EQ(drum.oscillator.increment, increment);
  drum.setFrequency(65.0);
  EXPECT_NE(drum.oscillator.increment, increment);
}

TEST(SineOscillatorTest, IncrementTruncatesAndPhaseWrapsAt2To28) {
  SineOscillator osc;
  osc.setFrequency(12000.0);
  EXPECT_EQ(osc.increment, 73043661u);
  for (int i = 0; i < 10; ++i) osc.process();
  EXPECT_EQ(osc.phase, (10ull * 73043661u) % 268435456u);

  const auto& table = SineOscillator::table();
  EXPECT_EQ(table[0], 0.0);
  EXPECT_EQ(table[1024], 1.0);
  EXPECT_DOUBLE_EQ(table[3072], -1.0);
}

TEST(SineOscillatorTest, UnusableRateGivesSilenceNotUndefinedBehaviour) {
  SineOscillator osc;
  osc.setSampleRate(0.0);
  osc.setFrequency(65.0);
  EXPECT_EQ(osc.increment, 0u);
  osc.setSampleRate(1.0);
  osc.setFrequency(12000.0);  // far beyond 32 bits: wraps instead of trapping
  osc.process();
}

}  // namespace
