#include "voices/Envelope.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof(b));
  return b;
}

Envelope make(double attack, double decay, double decayTarget) {
  Envelope e;
  e.setSampleRate(44100.0);
  e.setAttack(attack);
  e.setDecay(decay);
  e.setDecayTarget(decayTarget);
  return e;
}

}  // namespace

// The noise voices take their envelopes a run at a time: every value, every stage change and the
// sample on which the envelope falls silent must be process()'s, whatever the run lengths, through
// attacks, decays, sustains, releases and retriggers.
TEST(EnvelopeTest, RenderingARunGivesProcessSamples) {
  const Envelope shapes[] = {make(0.0, 0.01, Envelope::kDefaultDecayTarget),
                             make(0.005, 0.2, Envelope::kDefaultDecayTarget), make(0.01, 0.1, 0.9),
                             make(0.3, 0.001, Envelope::kDefaultDecayTarget)};
  const int runLengths[] = {1, 7, 44, 64};
  for (const Envelope& shape : shapes) {
    for (int runLength : runLengths) {
      Envelope runs = shape;
      Envelope reference = shape;
      runs.trigger();
      reference.trigger();
      for (int run = 0; run < 700; ++run) {
        // A release partway through, then a retrigger while it sounds, then one from silence.
        if (run == 150 || run == 650) {
          runs.release();
          reference.release();
        }
        if (run == 160 || run == 500) {
          runs.trigger();
          reference.trigger();
        }
        double values[64];
        const int n = runs.render(values, runLength);
        int expected = 0;
        while (expected < runLength && reference.stage != Envelope::Idle) {
          const double v = reference.process();
          ASSERT_LT(expected, n) << "run " << run;
          ASSERT_EQ(bits(values[expected]), bits(v)) << "run " << run << " sample " << expected;
          ++expected;
        }
        ASSERT_EQ(n, expected) << "run " << run;
        ASSERT_EQ(runs.stage, reference.stage);
        ASSERT_EQ(bits(runs.value), bits(reference.value));
      }
    }
  }
}

// Several envelopes taken side by side and then each on its own give every envelope's own values,
// through one falling silent before the others and one still in its attack.
TEST(EnvelopeTest, SideBySideDecaysGiveEachEnvelopesValues) {
  for (int count = 2; count <= Envelope::kMaxSideBySide; ++count) {
    Envelope runs[Envelope::kMaxSideBySide];
    Envelope reference[Envelope::kMaxSideBySide];
    for (int k = 0; k < count; ++k) {
      runs[k] = reference[k] = make(0.0005 * k, 0.004 + 0.03 * k, Envelope::kDefaultDecayTarget);
      runs[k].trigger();
      reference[k].trigger();
    }
    for (int run = 0; run < 80; ++run) {
      if (run == 40) {
        runs[1].release();
        reference[1].release();
      }
      double values[Envelope::kMaxSideBySide][64];
      Envelope* envelopes[Envelope::kMaxSideBySide];
      double* outs[Envelope::kMaxSideBySide];
      for (int k = 0; k < count; ++k) {
        envelopes[k] = &runs[k];
        outs[k] = values[k];
      }
      const int together = Envelope::renderDecaysSideBySide(envelopes, outs, count, 64);
      for (int k = 0; k < count; ++k) {
        const int n = together + runs[k].render(values[k] + together, 64 - together);
        int expected = 0;
        while (expected < 64 && reference[k].stage != Envelope::Idle) {
          const double v = reference[k].process();
          ASSERT_LT(expected, n) << count << " envelopes, run " << run;
          ASSERT_EQ(bits(values[k][expected]), bits(v))
              << count << " envelopes, envelope " << k << " run " << run << " sample " << expected;
          ++expected;
        }
        ASSERT_EQ(n, expected) << count << " envelopes, envelope " << k << " run " << run;
      }
    }
  }
}

// The engine renders all its voices' envelopes side by side, whatever their stages: every value,
// length and stage change must be process()'s, through attacks ending mid-run, envelopes falling
// silent one after the other, retriggers, releases, a sustain, a value left above 1 and a NaN.
TEST(EnvelopeTest, SideBySideInAnyStageGivesEachEnvelopesValues) {
  constexpr int kMax = Envelope::kMaxLanes;
  for (int count = 1; count <= kMax; ++count) {
    for (int runLength : {1, 7, 64}) {
      Envelope runs[kMax];
      Envelope reference[kMax];
      for (int k = 0; k < count; ++k) {
        reference[k] = make(0.0004 * (k % 4), 0.002 + 0.004 * k,
                            k % 5 == 2 ? 0.9 : Envelope::kDefaultDecayTarget);
        if (k % 3 != 1) reference[k].trigger();
        runs[k] = reference[k];
      }
      for (int run = 0; run < 4000 / runLength; ++run) {
        const int sample = run * runLength;
        for (int k = 0; k < count; ++k) {
          Envelope* both[2] = {&runs[k], &reference[k]};
          for (Envelope* e : both) {
            if (sample / 500 == (k + 1) % 8 && (sample - runLength) / 500 != (k + 1) % 8) {
              e->trigger();
            }
            if (run == 300 / runLength && k % 4 == 3) e->release();
            // A decay from above 1, and one from NaN (which then never ends).
            if (run == 900 / runLength && k == 5) e->value = 1.5, e->stage = Envelope::Decay;
            if (run == 1200 / runLength && k == 7) e->value = std::nan("");
          }
        }
        double values[kMax][64];
        Envelope* envelopes[kMax];
        double* outs[kMax];
        int lengths[kMax];
        for (int k = 0; k < count; ++k) {
          envelopes[k] = &runs[k];
          outs[k] = values[k];
        }
        Envelope::renderSideBySide(envelopes, outs, lengths, count, runLength);
        for (int k = 0; k < count; ++k) {
          int expected = 0;
          while (expected < runLength && reference[k].stage != Envelope::Idle) {
            const double v = reference[k].process();
            ASSERT_LT(expected, lengths[k]) << count << " envelopes, run " << run;
            ASSERT_EQ(bits(values[k][expected]), bits(v))
                << count << " envelopes, envelope " << k << " run " << run << " sample "
                << expected;
            ++expected;
          }
          ASSERT_EQ(lengths[k], expected)
              << count << " envelopes, envelope " << k << " run " << run;
          ASSERT_EQ(runs[k].stage, reference[k].stage);
          ASSERT_EQ(bits(runs[k].value), bits(reference[k].value));
        }
      }
    }
  }
}
