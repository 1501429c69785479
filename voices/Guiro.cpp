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

void Guiro::trigger(int time) {
  triggerTime = time;
  mainEnvelope.trigger();
}
