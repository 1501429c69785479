#include "voices/Quijada.h"

#include <cmath>

#include "voices/WhiteNoise.h"

namespace {
constexpr double kPulseAttack = 0.0001;
constexpr double kMainAttack = 0.01;
constexpr double kMainDecay = 0.5;
constexpr double kMainRelease = 0.01;
// The off-zero burst fires where the rising rate sine passes a level in 0.1..0.6.
constexpr double kThresholdSpread = 0.5;
constexpr double kThresholdFloor = 0.1;
}  // namespace

Quijada::Quijada() {
  pulseA.setAttack(kPulseAttack);
  pulseB.setAttack(kPulseAttack);
  mainEnvelope.setAttack(kMainAttack);
  mainEnvelope.setDecay(kMainDecay);
  // Never used (release() is ignored), but the envelope is fully defined.
  mainEnvelope.releaseTime = kMainRelease;
}

void Quijada::setSampleRate(double sampleRate) {
  toneOscillator.setSampleRate(sampleRate);
  rateOscillator.setSampleRate(sampleRate);
  mainEnvelope.setSampleRate(sampleRate);
  pulseA.setSampleRate(sampleRate);
  pulseB.setSampleRate(sampleRate);
}

void Quijada::trigger(int time) {
  triggerTime = time;
  // Which burst is the strong one, and where the other one sits, changes with every note.
  const double u1 = WhiteNoise::draw();
  const double u2 = WhiteNoise::draw();
  const double t = std::fabs(u2) * kThresholdSpread + kThresholdFloor;
  if (u1 < 0.0) {
    thresholdA = t;
    thresholdB = 0.0;
  } else {
    thresholdA = 0.0;
    thresholdB = t;
  }
  mainEnvelope.trigger();
}
