#include "voices/Noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/support/TestSignals.h"
#include "voices/WhiteNoise.h"

using testing_support::render;

namespace {

constexpr double kRate = 44100.0;

Noise makeHihat() {
  Noise v;
  v.setSampleRate(kRate);
  v.setFrequency(10000.0);
  v.setAttack(0.01);
  v.setDecay(0.02);
  v.setResonance(2.0);
  return v;
}

Noise makeSnare1(double tick) {
  Noise v;
  v.setSampleRate(kRate);
  v.setFrequency(5500.0);
  v.setAttack(0.001);
  v.setDecay(0.4);
  v.setResonance(0.4);
  v.setTick(tick);
  v.setHighpass(800.0);
  return v;
}

double peak(const std::vector<double>& s) {
  double p = 0.0;
  for (double x : s) p = std::max(p, std::fabs(x));
  return p;
}

}  // namespace

TEST(NoiseTest, SaturatorMeetsTenSmoothlyAtThree) {
  EXPECT_EQ(Noise::saturate(3.0), 10.0);
  EXPECT_EQ(Noise::saturate(-3.0), -10.0);
  EXPECT_EQ(Noise::saturate(1.0), 70.0 / 9.0);
  EXPECT_EQ(Noise::saturate(-1.0), -70.0 / 9.0);
  EXPECT_NEAR(Noise::saturate(0.3), 2.9223, 1e-4);
  EXPECT_EQ(Noise::saturate(3.0001), 10.0);
  EXPECT_EQ(Noise::saturate(-50.0), -10.0);
  EXPECT_EQ(Noise::saturate(0.0), 0.0);
}

TEST(NoiseTest, SilentVoiceNeitherSoundsNorDraws) {
  WhiteNoise::reset();
  Noise fresh;
  EXPECT_FALSE(fresh.isActive());
  EXPECT_EQ(fresh.process(), 0.0);
  EXPECT_EQ(WhiteNoise::seed(), WhiteNoise::kInitialSeed);

  Noise hihat = makeHihat();
  hihat.trigger(5);
  EXPECT_EQ(hihat.triggerTime, 5);
  const auto out = render(hihat, 10000);
  EXPECT_FALSE(hihat.isActive());
  EXPECT_GT(peak(out), 0.0);
  EXPECT_EQ(out.back(), 0.0);
  const std::int32_t seedAfterDecay = WhiteNoise::seed();
  render(hihat, 100);
  EXPECT_EQ(WhiteNoise::seed(), seedAfterDecay);
}

TEST(NoiseTest, HihatKeepsItsFixedHighpassAndNoTick) {
  Noise hihat = makeHihat();
  EXPECT_EQ(hihat.highpass.frequency, 1000.0);
  EXPECT_EQ(hihat.tick, 0.0);
  hihat.trigger(0);
  render(hihat, 2000);
  // With no tick the tick envelope is triggered but never stepped.
  EXPECT_EQ(hihat.tickEnvelope.value, 0.0);
}

TEST(NoiseTest, TickAddsAPulseOnlyAtTheStartOfTheNote) {
  Noise plain = makeSnare1(0.0);
  Noise ticked = makeSnare1(0.5);
  EXPECT_EQ(ticked.tick, 50.0);
  plain.trigger(0);
  ticked.trigger(0);
  WhiteNoise::reset();
  const auto a = render(plain, 4000);
  WhiteNoise::reset();
  const auto b = render(ticked, 4000);
  EXPECT_EQ(plain.tickEnvelope.value, 0.0);
  EXPECT_EQ(ticked.tickEnvelope.stage, Envelope::Idle);
  // Same noise underneath: the pulse shows in the first milliseconds and has died out later.
  double headDiff = 0.0, tailDiff = 0.0;
  for (int i = 0; i < 200; ++i) headDiff = std::max(headDiff, std::fabs(a[i] - b[i]));
  for (int i = 3000; i < 4000; ++i) tailDiff = std::max(tailDiff, std::fabs(a[i] - b[i]));
  EXPECT_GT(headDiff, 0.3);
  EXPECT_LT(tailDiff, 1e-6);
}

TEST(NoiseTest, LevelDrivesTheSaturator) {
  Noise loud = makeSnare1(0.0);
  loud.gain = 1000.0;
  loud.trigger(0);
  const auto out = render(loud, 4000);
  EXPECT_EQ(peak(out), 10.0);
}

TEST(NoiseTest, RetriggerKeepsFilterHistory) {
  Noise snare = makeSnare1(0.0);
  snare.trigger(0);
  render(snare, 300);
  const double y1 = snare.resonator.y1, h1 = snare.highpass.y1;
  snare.trigger(300);
  EXPECT_EQ(snare.resonator.y1, y1);
  EXPECT_EQ(snare.highpass.y1, h1);
}

TEST(NoiseTest, SampleRateChangeSilencesUntilFrequencyOrResonanceIsSetAgain) {
  Noise hihat = makeHihat();
  hihat.setSampleRate(48000.0);
  hihat.trigger(0);
  const auto silent = render(hihat, 5000);
  EXPECT_FALSE(hihat.isActive());
  EXPECT_EQ(peak(silent), 0.0);

  hihat.setResonance(2.0);
  hihat.trigger(0);
  EXPECT_GT(peak(render(hihat, 5000)), 0.0);
}

TEST(NoiseTest, NaNInTheFiltersDoesNotReachTheOutput) {
  Noise snare = makeSnare1(0.5);
  snare.trigger(0);
  render(snare, 50);
  const double nan = std::nan("");
  snare.highpass.y1 = nan;
  snare.resonator.y2 = nan;
  EXPECT_TRUE(testing_support::allFinite(render(snare, 2000)));
}
