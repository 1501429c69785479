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

int Envelope::render(double* values, int n) {
  int i = 0;
  while (i < n && stage != Idle) {
    double v = value;
    const double t = target;
    const double r = rate;
    if (stage == Attack) {
      while (i < n) {
        const double next = v + (t - v) * r;
        if (next >= 1.0) break;
        v = next;
        values[i++] = v;
      }
      value = v;
      // The sample that reaches the top is process()'s: it ends the attack.
      if (i < n) values[i++] = process();
    } else if (stage == Decay || stage == Release) {
      while (i < n) {
        v = v + (t - v) * r;
        if (v <= 0.0) {
          value = 0.0;
          stage = Idle;
          values[i++] = 0.0;
          return i;
        }
        if (v > 1.0) v = 1.0;
        values[i++] = v;
      }
      value = v;
    } else {
      values[i++] = process();
    }
  }
  return i;
}
