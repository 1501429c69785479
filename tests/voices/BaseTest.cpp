#include "voices/Base.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A bass drum as the factory table sets it up at 44.1 kHz.
Base makeDrum(double attack, double decay) {
  Base drum;
  drum.setSampleRate(44100.0);
  drum.setFrequency(65.0);
  drum.setAttack(attack);
  drum.setDecay(decay);
  return drum;
}

}  // namespace

TEST(BaseTest, SilentUntilTriggered) {
  Base drum;
  EXPECT_FALSE(drum.isActive());
  EXPECT_EQ(drum.process(), 0.0);
  EXPECT_EQ(drum.oscillator.phase, 0u);
}
