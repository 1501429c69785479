#include "voices/Envelope.h"

void Envelope::setAttack(double t) {
  attack = t;
  if (stage == Attack) rate = rateFor(t);
}

void Envelope::setDecay(double t) {
  decay = t;
  releaseTime = t;
  if (stage == Decay || stage == Release) rate = rateFor(t);
}

void Envelope::setDecayTarget(double v) {
  decayTarget = v;
  if (stage == Decay) target = v;
}

void Envelope::setSampleRate(double sr) {
  sampleRate = sr;
  stage = Idle;
  value = 0.0;
}

void Envelope::trigger() {
  // value is kept: a retrigger continues from the current level.
  stage = Attack;
  target = kAttackTarget;
  rate = rateFor(attack);
}

void Envelope::release() {
  if (value > 0.0) {
    stage = Release;
    target = kDefaultDecayTarget;
    rate = rateFor(releaseTime);
  } else {
    stage = Idle;
  }
}
