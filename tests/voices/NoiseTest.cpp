#include "voices/Noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "framework/WideVectors.h"
#include "tests/support/TestSignals.h"
#include "voices/WhiteNoise.h"

using testing_support::render;

namespace {

Noise makeNoise(double hz, double q, double attack, double decay) {
  Noise v;
  v.setSampleRate(44100.0);
  v.setFrequency(hz);
  v.setAttack(attack);
  v.setDecay(decay);
  v.setResonance(q);
  return v;
}

Noise makeHihat() {
  return makeNoise(10000.0, 2.0, 0.01, 0.02);
}

Noise makeSnare1(double tick) {
  Noise v = makeNoise(5500.0, 0.4, 0.001, 0.4);
  v.setTick(tick);
  v.setHighpass(800.0);
  return v;
}

double peak(const std::vector<double>& s, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  double p = 0.0;
  for (std::size_t i = from; i < std::min(to, s.size()); ++i) p = std::max(p, std::fabs(s[i]));
  return p;
}

}  // namespace

TEST(NoiseTest, SaturatorMeetsTenSmoothlyAtThree) {
  EXPECT_EQ(Noise::saturate(3.0), 10.0);
  EXPECT_EQ(Noise::saturate(-1.0), -70.0 / 9.0);
  EXPECT_EQ(Noise::saturate(1.0), 70.0 / 9.0);
  EXPECT_NEAR(Noise::saturate(0.3), 2.9223, 1e-4);
  EXPECT_EQ(Noise::saturate(3.0001), 10.0);
  EXPECT_EQ(Noise::saturate(-50.0), -10.0);
}

TEST(NoiseTest, SilentVoiceNeitherSoundsNorDraws) {
  WhiteNoise::reset();
  Noise fresh;
  EXPECT_EQ(fresh.process(), 0.0);
  EXPECT_EQ(WhiteNoise::seed(), WhiteNoise::kInitialSeed);

  Noise hihat = makeHihat();
  hihat.trigger(5);
  const auto out = render(hihat, 10000);
  EXPECT_FALSE(hihat.isActive());
  EXPECT_GT(peak(out), 0.0);
  const std::int32_t seedAfterDecay = WhiteNoise::seed();
  EXPECT_EQ(render(hihat, 100).back(), 0.0);
  EXPECT_EQ(WhiteNoise::seed(), seedAfterDecay);
}

TEST(NoiseTest, HihatKeepsItsFixedHighpassAndNeverStepsTheTick) {
  Noise hihat = makeHihat();
  EXPECT_EQ(hihat.highpass.frequency, 1000.0);
  EXPECT_EQ(hihat.tick, 0.0);
  hihat.trigger(0);
  render(hihat, 2000);
  EXPECT_EQ(hihat.tickEnvelope.value, 0.0);
}

TEST(NoiseTest, TickIsAPulseAtTheStartOnTheSameNoise) {
  Noise plain = makeSnare1(0.0);
  Noise ticked = makeSnare1(0.5);
  plain.trigger(0);
  ticked.trigger(0);
  WhiteNoise::reset();
  const auto a = render(plain, 4000);
  WhiteNoise::reset();
  const auto b = render(ticked, 4000);
  std::vector<double> diff(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) diff[i] = a[i] - b[i];
  EXPECT_GT(peak(diff, 0, 200), 0.3);
  EXPECT_LT(peak(diff, 3000), 1e-6);
}

TEST(NoiseTest, SampleRateChangeSilencesUntilFrequencyOrResonanceIsSetAgain) {
  Noise hihat = makeHihat();
  hihat.setSampleRate(48000.0);
  hihat.trigger(0);
  EXPECT_EQ(peak(render(hihat, 5000)), 0.0);
  EXPECT_FALSE(hihat.isActive());
  hihat.setFrequency(10000.0);
  hihat.trigger(0);
  EXPECT_GT(peak(render(hihat, 5000)), 0.0);
}

namespace {

// Bits of a double, so that a NaN equals itself and -0.0 differs from +0.0.
std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof(b));
  return b;
}

}  // namespace

// The engine renders noise voices in passes (envelope, tick, then the filters, two to four voices
// side by side); every sample must be the one render() gives, including where a NaN in a filter's
// history is flushed and where one voice falls silent before the others, with 128-bit vectors and
// (where the processor has them) 256-bit ones.
TEST(NoiseTest, RenderingInPassesGivesRendersSamples) {
  const bool wideVectors = WideVectors::enabled;
  for (const bool wide : {false, true}) {
    if (wide && !wideVectors) continue;
    WideVectors::enabled = wide;
    for (int count = 2; count <= 4; ++count) {
      SCOPED_TRACE(testing::Message() << count << " voices, 256-bit vectors " << wide);
      Noise voices[4] = {makeSnare1(0.7), makeNoise(300.0, 30.0, 0.001, 0.02), makeHihat(),
                         makeNoise(7000.0, 5.0, 0.002, 0.1)};
      voices[0].gain = 0.9;
      voices[1].gain = 2.5;
      voices[1].highpass.y1 = std::nan("");
      voices[1].resonator.x2 = std::nan("");
      voices[3].resonator.y1 = std::nan("");
      Noise reference[4] = {voices[0], voices[1], voices[2], voices[3]};
      for (int v = 0; v < count; ++v) {
        voices[v].trigger(0);
        reference[v].trigger(0);
      }

      constexpr int kRun = 64;
      std::uint32_t seed = 12345;
      for (int run = 0; run < 60; ++run) {
        double white[4][kRun], x[4][kRun], e[4][kRun], out[4][kRun];
        int length[4];
        for (int v = 0; v < count; ++v) {
          length[v] = voices[v].renderEnvelope(e[v], kRun);
          for (int i = 0; i < kRun; ++i) {
            seed *= WhiteNoise::kMultiplier;
            white[v][i] = x[v][i] = WhiteNoise::value(seed);
          }
          if (run == 3) white[v][20] = x[v][20] = 1e308;
          if (run == 5) white[v][7 + v] = x[v][7 + v] = -std::numeric_limits<double>::infinity();
          if (run == 6) white[v][30] = x[v][30] = std::nan("");
          voices[v].addTick(x[v], length[v]);
        }
        const int together = *std::min_element(length, length + count);
        Noise* const group[4] = {&voices[0], &voices[1], &voices[2], &voices[3]};
        const double* const xs[4] = {x[0], x[1], x[2], x[3]};
        const double* const es[4] = {e[0], e[1], e[2], e[3]};
        double* const outs[4] = {out[0], out[1], out[2], out[3]};
        Noise::renderFilteredTogether(count, group, xs, es, outs, together);
        for (int v = 0; v < count; ++v) {
          voices[v].renderFiltered(x[v] + together, e[v] + together, out[v] + together,
                                   length[v] - together);
          for (int i = 0; i < kRun && reference[v].isActive(); ++i) {
            ASSERT_LT(i, length[v]) << "voice " << v << " run " << run;
            ASSERT_EQ(bits(out[v][i]), bits(reference[v].render(white[v][i])))
                << "voice " << v << " run " << run << " sample " << i;
          }
          ASSERT_EQ(reference[v].isActive(), voices[v].isActive());
        }
      }
      EXPECT_FALSE(voices[1].isActive()) << "the short voice fell silent on the way";
    }
  }
  WideVectors::enabled = wideVectors;
  if (!wideVectors) std::printf("This processor has no 256-bit vectors: only 128-bit lanes ran.\n");
}

// Where the processor can, the engine renders one or two noise voices' filters in the loop of the
// envelopes' pass: their samples must be those of the two passes one after the other. Where a
// voice falls silent within the run, or a filter holds a NaN, the voices' filters must be left as
// they were, for the engine to render them the usual way; the envelopes render in any case.
TEST(NoiseTest, FiltersAlongsideTheEnvelopesGiveTheSamePassesSamples) {
  if (!Noise::filtersAlongsideEnvelopes) {
    GTEST_SKIP() << "this processor renders the filters after the envelopes only";
  }
  constexpr int kRun = 64;
  for (int count = 1; count <= 2; ++count) {
    for (const char* trouble : {"none", "nan", "silent"}) {
      SCOPED_TRACE(testing::Message() << count << " voices, trouble: " << trouble);
      Noise voices[2] = {makeSnare1(0.7), makeNoise(3000.0, 8.0, 0.001, 0.3)};
      Envelope others[3];
      for (int k = 0; k < 3; ++k) {
        others[k].setSampleRate(44100.0);
        others[k].setAttack(0.0005 * k);
        others[k].setDecay(0.01 + 0.02 * k);
        others[k].trigger();
      }
      for (Noise& v : voices) v.trigger(0);
      std::uint32_t seed = 777;
      double x[2][kRun];
      for (int run = 0; run < 30; ++run) {
        if (run == 5 && std::string(trouble) == "nan")
          voices[count - 1].resonator.y2 = std::nan("");
        if (run == 7 && std::string(trouble) == "silent") {
          voices[0].setDecay(0.0005);
          voices[0].envelope.release();
        }
        for (int v = 0; v < count; ++v) {
          for (int i = 0; i < kRun; ++i) {
            seed *= WhiteNoise::kMultiplier;
            x[v][i] = WhiteNoise::value(seed);
          }
        }
        Noise reference[2] = {voices[0], voices[1]};
        Envelope referenceOthers[3] = {others[0], others[1], others[2]};

        double values[5][kRun], referenceValues[5][kRun], out[2][kRun], referenceOut[2][kRun];
        int lengths[5], referenceLengths[5];
        Envelope* envelopes[5] = {&others[0], &voices[0].envelope, &others[1], &voices[1].envelope,
                                  &others[2]};
        Envelope* referenceEnvelopes[5] = {&referenceOthers[0], &reference[0].envelope,
                                           &referenceOthers[1], &reference[1].envelope,
                                           &referenceOthers[2]};
        double* valuePointers[5];
        double* referenceValuePointers[5];
        for (int k = 0; k < 5; ++k) {
          valuePointers[k] = values[k];
          referenceValuePointers[k] = referenceValues[k];
        }
        Noise* group[2] = {&voices[0], &voices[1]};
        Noise* referenceGroup[2] = {&reference[0], &reference[1]};
        const double* xs[2] = {x[0], x[1]};
        const double* es[2] = {values[1], values[3]};
        const double* referenceEs[2] = {referenceValues[1], referenceValues[3]};
        double* outs[2] = {out[0], out[1]};
        double* referenceOuts[2] = {referenceOut[0], referenceOut[1]};

        const bool together = Noise::renderEnvelopesAndFilters(envelopes, valuePointers, lengths, 5,
                                                               kRun, count, group, xs, es, outs);
        Envelope::renderSideBySide(referenceEnvelopes, referenceValuePointers, referenceLengths, 5,
                                   kRun);
        for (int k = 0; k < 5; ++k) {
          ASSERT_EQ(lengths[k], referenceLengths[k]) << "run " << run << " envelope " << k;
          for (int i = 0; i < lengths[k]; ++i) {
            ASSERT_EQ(bits(values[k][i]), bits(referenceValues[k][i])) << "run " << run;
          }
        }
        const bool sounded = lengths[1] == kRun && (count == 1 || lengths[3] == kRun);
        const bool clean = std::string(trouble) != "nan" || run != 5;
        ASSERT_EQ(together, sounded && clean) << "run " << run;
        if (together) {
          Noise::renderFilteredTogether(count, referenceGroup, xs, referenceEs, referenceOuts,
                                        kRun);
          for (int v = 0; v < count; ++v) {
            for (int i = 0; i < kRun; ++i) {
              ASSERT_EQ(bits(out[v][i]), bits(referenceOut[v][i])) << "run " << run << " " << i;
            }
          }
        } else {
          // The engine renders them again, from the state they had.
          Noise::renderFilteredTogether(count, group, xs, es, outs, kRun);
          Noise::renderFilteredTogether(count, referenceGroup, xs, referenceEs, referenceOuts,
                                        kRun);
        }
        for (int v = 0; v < count; ++v) {
          ASSERT_EQ(bits(voices[v].highpass.y1), bits(reference[v].highpass.y1));
          ASSERT_EQ(bits(voices[v].resonator.y1), bits(reference[v].resonator.y1));
          ASSERT_EQ(voices[v].highpass.offset, reference[v].highpass.offset);
        }
        if (!voices[0].isActive()) break;
      }
    }
  }
}

// Where the processor cannot run the filters in the envelopes' loop, asking for it renders the
// envelopes alone and leaves the voices to the caller.
TEST(NoiseTest, WithoutFiltersAlongsideOnlyTheEnvelopesRender) {
  const bool alongside = Noise::filtersAlongsideEnvelopes;
  Noise::filtersAlongsideEnvelopes = false;
  Noise voice = makeHihat();
  voice.trigger(0);
  const Noise before = voice;
  double x[32] = {}, values[32], out[32] = {};
  int length = 0;
  Envelope* envelopes[1] = {&voice.envelope};
  double* valuePointers[1] = {values};
  Noise* group[1] = {&voice};
  const double* xs[1] = {x};
  const double* es[1] = {values};
  double* outs[1] = {out};
  EXPECT_FALSE(Noise::renderEnvelopesAndFilters(envelopes, valuePointers, &length, 1, 32, 1, group,
                                                xs, es, outs));
  Noise::filtersAlongsideEnvelopes = alongside;
  EXPECT_EQ(length, 32);
  EXPECT_GT(values[31], 0.0);
  EXPECT_EQ(bits(voice.highpass.y1), bits(before.highpass.y1));
  EXPECT_EQ(out[0], 0.0);
}
