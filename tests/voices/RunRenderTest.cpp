#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "voices/Base.h"
#include "voices/Conga.h"
#include "voices/Guiro.h"
#include "voices/Quijada.h"

namespace {

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof(b));
  return b;
}

// Renders `runs` a run at a time and `reference` sample by sample through the same triggers, and
// compares every sample, the run lengths and the phases the next note starts from.
template <typename Voice>
void ExpectRunsMatchProcess(Voice runs, Voice reference, const char* name) {
  const int runLengths[] = {1, 13, 44, 64};
  int run = 0;
  for (int runLength : runLengths) {
    for (int k = 0; k < 200; ++k, ++run) {
      // Notes from silence, retriggers while sounding, note-offs, and silences between.
      if (k == 0 || k == 7 || k == 120) {
        runs.trigger(0);
        reference.trigger(0);
        // The quijada draws its burst levels from the shared noise on every note, so the two
        // copies draw different ones; the reference takes the levels the runs got.
        if constexpr (requires { runs.thresholdA; }) {
          reference.thresholdA = runs.thresholdA;
          reference.thresholdB = runs.thresholdB;
        }
      }
      if (k == 60 || k == 150) {
        runs.release();
        reference.release();
      }
      double out[Instrument::kMaxRender];
      const int n = runs.isActive() ? runs.render(out, runLength) : 0;
      int expected = 0;
      while (expected < runLength && reference.isActive()) {
        const double v = reference.process();
        ASSERT_LT(expected, n) << name << " run " << run;
        ASSERT_EQ(bits(out[expected]), bits(v)) << name << " run " << run << " sample " << expected;
        ++expected;
      }
      ASSERT_EQ(n, expected) << name << " run " << run;
      ASSERT_EQ(runs.isActive(), reference.isActive()) << name << " run " << run;
    }
  }
}

}  // namespace

// The engine renders the sine voices a run at a time: every sample, the sample on which a voice
// (or one of the conga's tones, or a guiro burst) falls silent, and the phase kept or reset for
// the next note or burst must be process()'s.
TEST(RunRenderTest, SineVoicesRenderRunsAsProcessDoes) {
  Base drum;
  drum.setSampleRate(44100.0);
  drum.setFrequency(65.0);
  drum.setAttack(0.001);
  drum.setDecay(0.05);
  drum.gain = 0.8;
  ExpectRunsMatchProcess(drum, drum, "base");

  // A running phase left by a sample-rate change is kept until the next note ends.
  Base stopped = drum;
  stopped.trigger(0);
  for (int i = 0; i < 100; ++i) stopped.process();
  stopped.setSampleRate(44100.0);
  ASSERT_NE(stopped.oscillator.phase, 0u);
  ExpectRunsMatchProcess(stopped, stopped, "base stopped mid-note");

  for (double decay1 : {0.01, 0.2}) {
    Conga conga;
    conga.setSampleRate(44100.0);
    conga.setFrequency1(195.0);
    conga.setFrequency2(4600.0);
    conga.setAttack(0.002);
    conga.setDecay1(decay1);
    conga.setDecay2(0.05);
    conga.setLevel2(0.7);
    conga.gain = 1.3;
    ExpectRunsMatchProcess(conga, conga, decay1 < 0.05 ? "conga, tone 1 shorter" : "conga");
  }

  Guiro guiro;
  guiro.setSampleRate(44100.0);
  guiro.setFrequency(2500.0);
  guiro.setRate(30.0);
  guiro.setDensity(0.004);
  guiro.gain = 0.6;
  ExpectRunsMatchProcess(guiro, guiro, "guiro");

  // A sample-rate change silences a burst but keeps the tone's phase: the next sample is not one
  // between bursts.
  Guiro cut = guiro;
  cut.trigger(0);
  while (cut.toneOscillator.phase == 0 || cut.pulseEnvelope.stage == Envelope::Idle) cut.process();
  cut.setSampleRate(44100.0);
  ASSERT_NE(cut.toneOscillator.phase, 0u);
  ExpectRunsMatchProcess(cut, cut, "guiro cut mid-burst");

  Quijada quijada;
  quijada.setSampleRate(44100.0);
  quijada.setFrequency(1800.0);
  quijada.setRate(25.0);
  quijada.setDensity(0.003);
  quijada.setAttack(0.001);
  quijada.setDecay(0.2);
  quijada.gain = 0.9;
  ExpectRunsMatchProcess(quijada, quijada, "quijada");
}
