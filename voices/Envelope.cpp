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

// P pairs of envelopes in their attack, decay or release, lane l of pair p writing to out[2p + l],
// from sample i up to n or up to the first sample on which any of them might end its stage or
// need its value limited to 1 (left to the caller). Returns where it stopped; the values reached
// are stored back into the envelopes. A lane stops the run where next <= low or next > high:
// in the attack, next >= 1 (high the largest double below 1, low -infinity); in decay and
// release, next <= 0 or next > 1. Stopping more often than needed costs time only: the caller
// takes that sample with process(). So the limit to 1 leaves the chain of dependent operations,
// which is then a subtraction, a multiplication and an addition per sample. A lane without an
// envelope holds 0 with target and rate 0, between -1 and 2: it stays at 0 and never stops.
template <int P>
int SideBySide(Envelope* const* lanes, double* const* out, int i, int n) {
  __m128d v[P], t[P], r[P], low[P], high[P];
  for (int p = 0; p < P; ++p) {
    double lv[2], lt[2], lr[2], ll[2], lh[2];
    for (int l = 0; l < 2; ++l) {
      const Envelope* e = lanes[2 * p + l];
      lv[l] = e != nullptr ? e->value : 0.0;
      lt[l] = e != nullptr ? e->target : 0.0;
      lr[l] = e != nullptr ? e->rate : 0.0;
      if (e == nullptr) {
        ll[l] = -1.0;
        lh[l] = 2.0;
      } else if (e->stage == Envelope::Attack) {
        ll[l] = -std::numeric_limits<double>::infinity();
        lh[l] = std::nextafter(1.0, 0.0);
      } else {
        ll[l] = 0.0;
        lh[l] = 1.0;
      }
    }
    v[p] = _mm_loadu_pd(lv);
    t[p] = _mm_loadu_pd(lt);
    r[p] = _mm_loadu_pd(lr);
    low[p] = _mm_loadu_pd(ll);
    high[p] = _mm_loadu_pd(lh);
  }
  for (; i < n; ++i) {
    __m128d next[P];
    __m128d stop = _mm_setzero_pd();
    for (int p = 0; p < P; ++p) {
      next[p] = _mm_add_pd(v[p], _mm_mul_pd(_mm_sub_pd(t[p], v[p]), r[p]));
      stop =
          _mm_or_pd(stop, _mm_or_pd(_mm_cmple_pd(next[p], low[p]), _mm_cmpgt_pd(next[p], high[p])));
    }
    if (_mm_movemask_pd(stop) != 0) break;
    for (int p = 0; p < P; ++p) {
      v[p] = next[p];
      _mm_storel_pd(out[2 * p] + i, v[p]);
      _mm_storeh_pd(out[2 * p + 1] + i, v[p]);
    }
  }
  for (int p = 0; p < P; ++p) {
    double lv[2];
    _mm_storeu_pd(lv, v[p]);
    for (int l = 0; l < 2; ++l) {
      if (Envelope* e = lanes[2 * p + l]) e->value = lv[l];
    }
  }
  return i;
}

}  // namespace

void Envelope::renderSideBySide(Envelope* const* envelopes, double* const* values, int* lengths,
                                int count, int n) {
  // The lanes: the envelopes in a stage side by side rendering can take, then empty lanes.
  // Left uninitialised: only the lanes of the pairs in use are read, and filled first.
  Envelope* lanes[kMaxLanes];
  double* out[kMaxLanes];
  int which[kMaxLanes];
  // Where empty lanes write, never read.
  double scratch[kMaxRenderLength];
  int live = 0;
  for (int k = 0; k < count; ++k) {
    Envelope& e = *envelopes[k];
    if (e.stage == Attack || e.stage == Decay || e.stage == Release) {
      lanes[live] = &e;
      out[live] = values[k];
      which[live] = k;
      ++live;
      lengths[k] = n;
    } else {
      lengths[k] = e.render(values[k], n);
    }
  }
  int i = 0;
  while (i < n && live > 0) {
    if (live == 1) {
      lengths[which[0]] = i + lanes[0]->render(out[0] + i, n - i);
      return;
    }
    for (int l = live; l < ((live + 1) & ~1); ++l) {
      lanes[l] = nullptr;
      out[l] = scratch;
    }
    switch ((live + 1) / 2) {
      case 1:
        i = SideBySide<1>(lanes, out, i, n);
        break;
      case 2:
        i = SideBySide<2>(lanes, out, i, n);
        break;
      case 3:
        i = SideBySide<3>(lanes, out, i, n);
        break;
      case 4:
        i = SideBySide<4>(lanes, out, i, n);
        break;
      case 5:
        i = SideBySide<5>(lanes, out, i, n);
        break;
      case 6:
        i = SideBySide<6>(lanes, out, i, n);
        break;
      case 7:
        i = SideBySide<7>(lanes, out, i, n);
        break;
      case 8:
        i = SideBySide<8>(lanes, out, i, n);
        break;
      default:
        i = SideBySide<9>(lanes, out, i, n);
        break;
    }
    if (i == n) break;
    // A stage may end on sample i: every envelope takes it on its own, and those that fall
    // silent leave the lanes.
    int kept = 0;
    for (int l = 0; l < live; ++l) {
      out[l][i] = lanes[l]->process();
      if (lanes[l]->stage == Idle) {
        lengths[which[l]] = i + 1;
        continue;
      }
      lanes[kept] = lanes[l];
      out[kept] = out[l];
      which[kept] = which[l];
      ++kept;
    }
    live = kept;
    ++i;
  }
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
