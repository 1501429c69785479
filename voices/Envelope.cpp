#include "voices/Envelope.h"

#include <emmintrin.h>

#include <cmath>
#include <limits>

namespace {

template <int K>
int DecaysSideBySide(Envelope* const* envelopes, double* const* values, int n) {
  double v[K];
  double t[K];
  double r[K];
  for (int k = 0; k < K; ++k) {
    const Envelope& e = *envelopes[k];
    if (e.stage != Envelope::Decay && e.stage != Envelope::Release) return 0;
    v[k] = e.value;
    t[k] = e.target;
    r[k] = e.rate;
  }
  int i = 0;
  for (; i < n; ++i) {
    double next[K];
    bool ends = false;
    for (int k = 0; k < K; ++k) {
      next[k] = v[k] + (t[k] - v[k]) * r[k];
      ends |= next[k] <= 0.0;
    }
    // The sample on which one falls silent is left to each envelope's own render().
    if (ends) break;
    for (int k = 0; k < K; ++k) {
      v[k] = next[k] > 1.0 ? 1.0 : next[k];
      values[k][i] = v[k];
    }
  }
  for (int k = 0; k < K; ++k) envelopes[k]->value = v[k];
  return i;
}

#include "voices/EnvelopeLanes.inc"

}  // namespace

void Envelope::renderSideBySide(Envelope* const* envelopes, double* const* values, int* lengths,
                                int count, int n) {
  NoPassenger none;
  RenderSideBySide(envelopes, values, lengths, count, n, none);
}

int Envelope::renderDecaysSideBySide(Envelope* const* envelopes, double* const* values, int count,
                                     int n) {
  switch (count) {
    case 2:
      return DecaysSideBySide<2>(envelopes, values, n);
    case 3:
      return DecaysSideBySide<3>(envelopes, values, n);
    case 4:
      return DecaysSideBySide<4>(envelopes, values, n);
    case 5:
      return DecaysSideBySide<5>(envelopes, values, n);
    case 6:
      return DecaysSideBySide<6>(envelopes, values, n);
    default:
      return 0;
  }
}

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
      // The samples that fall silent or need limiting to 1 are process()'s, which keeps the
      // limit out of the chain of dependent operations.
      while (i < n) {
        const double next = v + (t - v) * r;
        if (next <= 0.0 || next > 1.0) break;
        v = next;
        values[i++] = v;
      }
      value = v;
      if (i < n) values[i++] = process();
    } else {
      values[i++] = process();
    }
  }
  return i;
}
