#include "voices/Guiro.h"

namespace {
constexpr double kPulseAttack = 0.0001;
constexpr double kMainAttack = 0.01;
constexpr double kMainDecay = 0.1;
constexpr double kMainRelease = 0.01;
constexpr double kSustainLevel = 0.9;
}  // namespace

Guiro::Guiro() {
  pulseEnvelope.setAttack(kPulseAttack);
  mainEnvelope.setAttack(kMainAttack);
  mainEnvelope.setDecay(kMainDecay);
  // setDecay ties the release to the decay; the guiro lets go faster than it settles.
  mainEnvelope.releaseTime = kMainRelease;
  mainEnvelope.setDecayTarget(kSustainLevel);
}

void Guiro::setSampleRate(double sampleRate) {
  toneOscillator.setSampleRate(sampleRate);
  rateOscillator.setSampleRate(sampleRate);
  mainEnvelope.setSampleRate(sampleRate);
  pulseEnvelope.setSampleRate(sampleRate);
}

double Guiro::process() {
  if (mainEnvelope.stage == Envelope::Idle) return 0.0;
  const double r = rateOscillator.process();
  // A burst starts on each upward zero crossing of the rate oscillator.
  if (r > 0.0 && previousRate <= 0.0) pulseEnvelope.trigger();
  previousRate = r;
  const double s = toneOscillator.process();
  const double a = pulseEnvelope.process() * s;
  const double out = mainEnvelope.process() * a;
  // Every burst that starts from silence starts at phase 0.
  if (pulseEnvelope.stage == Envelope::Idle) toneOscillator.resetPhase();
  return out * gain;
}

void Guiro::trigger(int time) {
  triggerTime = time;
  mainEnvelope.trigger();
}
