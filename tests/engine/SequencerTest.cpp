// The clock counted over many samples at once must land exactly where counting one sample at a
// time lands: the tick fires on the same sample, and the position keeps the same bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "engine/CombinedRhythm.h"
#include "engine/Sequencer.h"

namespace {

class SilentListener : public SequencerListener {
 public:
  void StepNote(int, bool, int) override {}
  void HostNoteOff(int) override {}
  void Panic() override {}
};

// What CountUntilTick must give: one addition of 1.0 per sample until the tick comes due.
int CountOneByOne(double& position, double nextTick, int count) {
  int k = 0;
  for (; k < count && position + 1.0 < nextTick; ++k) position += 1.0;
  return k;
}

TEST(SequencerTest, CountingManySamplesAtOnceMatchesCountingOneByOne) {
  SilentListener listener;
  CombinedRhythm rhythm;
  Sequencer clock(listener, rhythm);
  clock.running = 1;
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> fraction(0.0, 1.0);
  // Fractional positions, positions just below powers of two (where the sums round), host sample
  // positions far into a song, and ticks before, on and beyond the end of the run.
  const double starts[] = {0.0,          0.25,         0.1,           1.0 / 3.0, 255.9,
                           511.3,        1023.999,     4096.0 - 1e-9, 918.75,    12345678.9,
                           0x1p52 - 3.5, 0x1p52 + 2.0, -7.3};
  for (const double start : starts) {
    for (int trial = 0; trial < 40; ++trial) {
      // The clock never counts towards a tick before 0.
      const double nextTick = std::max(0.0, trial == 0 ? start : start + 700.0 * fraction(random));
      const int count = 1 + static_cast<int>(600.0 * fraction(random));
      double expected = start;
      const int expectedCount = CountOneByOne(expected, nextTick, count);
      clock.tickPos = start;
      clock.nextTick = nextTick;
      EXPECT_EQ(clock.CountUntilTick(count), expectedCount)
          << "from " << start << " to " << nextTick << " over " << count;
      EXPECT_EQ(std::bit_cast<std::uint64_t>(clock.tickPos), std::bit_cast<std::uint64_t>(expected))
          << "from " << start << " to " << nextTick << " over " << count;
    }
  }
}

}  // namespace
