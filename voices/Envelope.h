#pragma once

#include <cstdint>

// One-pole attack/decay/release envelope. Each stage approaches a target beyond its end point
// (10/9 for the attack, -1/9 for decay and release) and is cut off where it crosses 1 or 0, which
// gives exponential segments of a well-defined length.
class Envelope {
 public:
  enum Stage : std::int32_t { Idle = 0, Attack = 1, Decay = 2, Release = 3 };

  static constexpr double kAttackTarget = 10.0 / 9.0;
  static constexpr double kDefaultDecayTarget = -1.0 / 9.0;

  void setAttack(double t);
  // Decay and release always share one time.
  void setDecay(double t);
  void setDecayTarget(double v);
  void setSampleRate(double sr);
  void trigger();
  void release();

  double process() {
    if (stage <= Idle) return 0.0;
    value = value + (target - value) * rate;
    if (stage == Attack && value >= 1.0) {
      value = 1.0;
      stage = Decay;
      target = decayTarget;
      rate = rateFor(decay);
    }
    if (stage == Decay || stage == Release) {
      if (value <= 0.0) {
        value = 0.0;
        stage = Idle;
        return 0.0;
      }
      if (value > 1.0) value = 1.0;
    }
    return value;
  }

  // process() for up to n samples, into values; stops after the sample on which the envelope falls
  // idle (that sample, 0.0, included) and returns how many it wrote. A stage's target and rate
  // stay put until the stage ends, so the loops keep them in registers and test only what can
  // end the stage (or, in decay, need the limit to 1: such samples are left to process()).
  int render(double* values, int n);

  // render() for count (up to kMaxSideBySide) envelopes at once while all of them are in their
  // decay or release and none falls silent: returns for how many samples (0 unless all are
  // decaying); each then goes on with its own render(). One envelope's samples form a chain of
  // dependent operations, so one after the other they wait on each other's latency; side by side
  // the processor overlaps them.
  static constexpr int kMaxSideBySide = 6;
  static int renderDecaysSideBySide(Envelope* const* envelopes, double* const* values, int count,
                                    int n);

  // render() for count (up to kMaxLanes) envelopes at once, each into its own values, whatever
  // their stages: lengths[k] gets what envelopes[k]->render() would have returned. The envelopes
  // run side by side, two to a vector, up to the next sample on which any of them ends a stage;
  // that sample each takes with its own process(), and those still sounding go on side by side.
  // Each value comes out of the very operations render() would apply, in the same order.
  static constexpr int kMaxLanes = 18;
  // The longest run renderSideBySide() takes.
  static constexpr int kMaxRenderLength = 64;
  static void renderSideBySide(Envelope* const* envelopes, double* const* values, int* lengths,
                               int count, int n);

  // Per-sample approach coefficient for a stage of t seconds.
  double rateFor(double t) const { return 1.0 / ((t + 0.0001) * 0.4 * sampleRate); }

  double attack = 0.0;
  double decay = 0.0;
  double decayTarget = kDefaultDecayTarget;
  double releaseTime = 0.0;
  std::int32_t stage = Idle;
  double sampleRate = 44100.0;
  double value = 0.0;
  double target = 0.0;
  double rate = 0.0;
};
