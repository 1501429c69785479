// Two instances in one process render at the same time on two threads, as two tracks of a host
// do. They share only the noise sequence; the thread sanitizer stage runs this to prove it race
// free.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "tests/support/FakeHost.h"
#include "voices/WhiteNoise.h"

namespace {

using testing_support::FakeHost;

void PlayEveryVoice(FakeHost& plug, int blocks, bool* finite) {
  *finite = true;
  for (int b = 0; b < blocks; ++b) {
    for (int k = 0; k < kNumInstruments; ++k) {
      const auto note = static_cast<std::uint8_t>(plug.GetVoice(k)->note);
      plug.OnMidiMessage(IMidiMessage(0, 0x90, note, 100));
    }
    for (const auto& channel : plug.RenderBlock(256)) {
      for (float s : channel) *finite = *finite && std::isfinite(s);
    }
  }
}

TEST(ConcurrentRenderTest, TwoInstancesRenderAtOnceAndAloneGetTheSequenceAsBefore) {
  FakeHost first;
  FakeHost second;
  first.Start();
  second.Start();
  bool firstFinite = false;
  bool secondFinite = false;
  std::thread a(PlayEveryVoice, std::ref(first), 40, &firstFinite);
  std::thread b(PlayEveryVoice, std::ref(second), 40, &secondFinite);
  a.join();
  b.join();
  EXPECT_TRUE(firstFinite);
  EXPECT_TRUE(secondFinite);

  // Alone, two fresh instances started from the same seed render the same samples.
  FakeHost third;
  FakeHost fourth;
  third.Start();
  fourth.Start();
  WhiteNoise::reset();
  bool finite = false;
  PlayEveryVoice(third, 3, &finite);
  const auto thirdBlock = third.RenderBlock(256);
  WhiteNoise::reset();
  PlayEveryVoice(fourth, 3, &finite);
  EXPECT_EQ(fourth.RenderBlock(256), thirdBlock);
}

}  // namespace
