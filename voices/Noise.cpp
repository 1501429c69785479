#include "voices/Noise.h"

#include <emmintrin.h>

#include <bit>
#include <cstdint>
#include <utility>

#include "voices/WhiteNoise.h"

namespace {
constexpr double kTickAttack = 0.001;
constexpr double kTickDecay = 0.003;

// Two doubles, and the comparison masks over them (all bits set where true). The same as
// __m128d, so the SSE2 intrinsics take it directly.
using Pair = double __attribute__((vector_size(16)));
using PairBits = std::int64_t __attribute__((vector_size(16)));

// The filters' operations for one voice (double) or for two side by side (Pair), one per lane;
// both give each voice exactly what HighPass::process, Resonator::process and Noise::shape give.

// v, or +0.0 where v is NaN.
double ZeroNaN(double v) {
  return v == v ? v : 0.0;
}
Pair ZeroNaN(Pair v) {
  return std::bit_cast<Pair>((v == v) & std::bit_cast<PairBits>(v));
}

// HighPass::nudge: NaN becomes +0.0, anything else gets the offset.
double Nudge(double v, double offset) {
  return v == v ? v + offset : 0.0;
}
Pair Nudge(Pair v, Pair offset) {
  return std::bit_cast<Pair>((v == v) & std::bit_cast<PairBits>(v + offset));
}

// w limited to -3..3, NaN kept. The saturator's curve reaches exactly +-10 at +-3, which is what
// it gives beyond, so limiting first replaces its two comparisons and selections.
double ClampToThree(double w) {
  w = 3.0 < w ? 3.0 : w;
  return w < -3.0 ? -3.0 : w;
}
Pair ClampToThree(Pair w) {
  // minpd and maxpd return their second operand where either is NaN.
  return _mm_max_pd(Pair{-3.0, -3.0}, _mm_min_pd(Pair{3.0, 3.0}, w));
}

template <typename T>
T Saturate(T w) {
  w = ClampToThree(w);
  return 10.0 * w * (w * w + 27.0) / (9.0 * (w * w) + 27.0);
}

double Lane(double v, int) {
  return v;
}
double Lane(Pair v, int l) {
  return v[l];
}
void SetLane(double& v, int, double x) {
  v = x;
}
void SetLane(Pair& v, int l, double x) {
  v[l] = x;
}

// Whether the filter loop leaves the envelope and the saturator to a pass of their own (Shape),
// which takes two samples at a time: for one voice, that halves their operations, and the
// division's long wait leaves the loop.
template <typename T>
constexpr bool kShapeApart = sizeof(T) == sizeof(double);

// out[i] = Noise::shape(e[i], out[i]) for i < n, two samples at a time.
void Shape(const double* e, double* out, int n) {
  const Pair drive = {Noise::kSaturatorDrive, Noise::kSaturatorDrive};
  int i = 0;
  for (; i + 2 <= n; i += 2) {
    const Pair z = _mm_loadu_pd(out + i);
    _mm_storeu_pd(out + i, Saturate(Pair(_mm_loadu_pd(e + i)) * z * drive));
  }
  if (i < n) out[i] = Saturate(e[i] * out[i] * Noise::kSaturatorDrive);
}

// The state of the filters of one voice, or of two voices, one per lane.
template <typename T>
struct FilterState {
  static constexpr int kLanes = sizeof(T) / sizeof(double);

  T cX0, cX1, cY1, cY2, b0, a1, a2, gain;
  T offset, hx1, hx2, hy1, hy2, rx1, rx2, ry1, ry2;

  void Load(Noise* const* voices) {
    for (int l = 0; l < kLanes; ++l) {
      const Noise& v = *voices[l];
      const HighPass& h = v.highpass;
      const Resonator& r = v.resonator;
      SetLane(cX0, l, h.cX0);
      SetLane(cX1, l, h.cX1);
      SetLane(cY1, l, h.cY1);
      SetLane(cY2, l, h.cY2);
      SetLane(b0, l, r.b0);
      SetLane(a1, l, r.a1);
      SetLane(a2, l, r.a2);
      SetLane(gain, l, v.gain);
      SetLane(offset, l, h.offset);
      SetLane(hx1, l, h.x1);
      SetLane(hx2, l, h.x2);
      SetLane(hy1, l, h.y1);
      SetLane(hy2, l, h.y2);
      SetLane(rx1, l, r.x1);
      SetLane(rx2, l, r.x2);
      SetLane(ry1, l, r.y1);
      SetLane(ry2, l, r.y2);
    }
  }

  void Store(Noise* const* voices) const {
    for (int l = 0; l < kLanes; ++l) {
      HighPass& h = voices[l]->highpass;
      Resonator& r = voices[l]->resonator;
      h.offset = Lane(offset, l);
      h.x1 = Lane(hx1, l);
      h.x2 = Lane(hx2, l);
      h.y1 = Lane(hy1, l);
      h.y2 = Lane(hy2, l);
      r.x1 = Lane(rx1, l);
      r.x2 = Lane(rx2, l);
      r.y1 = Lane(ry1, l);
      r.y2 = Lane(ry2, l);
    }
  }

  // One sample: HighPass::process, Resonator::process and shape(). Any history value may be NaN
  // when it comes from the voice (kFirst), but after one step only hy1 and ry1, the filters' raw
  // outputs, can be: the others were flushed of NaN and at most got the tiny offset since, which
  // never makes a NaN. Their flushes are then no-ops and are left out.
  //
  // Each history is a pair of slots, newest (1) and older (2). Instead of moving the newest
  // value to the older slot and the new one into the newest, the new value goes into the older
  // slot and the next step takes the slots the other way round (Swapped): two steps in turn move
  // no value at all. The offset flips on every step and so is back after two.
  //
  // Without kExact the NaN flushes are all left out, which changes nothing as long as no value
  // is NaN; see RenderFiltered for how that is made sure of.
  template <bool kFirst, bool kSwapped, bool kExact = true>
  T Step(T input, T envelope, T o) {
    T& x1 = kSwapped ? hx2 : hx1;
    T& x2 = kSwapped ? hx1 : hx2;
    T& y1 = kSwapped ? hy2 : hy1;
    T& y2 = kSwapped ? hy1 : hy2;
    T& u1 = kSwapped ? rx2 : rx1;
    T& u2 = kSwapped ? rx1 : rx2;
    T& v1 = kSwapped ? ry2 : ry1;
    T& v2 = kSwapped ? ry1 : ry2;
    const T x = kExact ? Nudge(input, o) : input + o;
    if (kFirst && kExact) {
      x1 = Nudge(x1, o);
      x2 = Nudge(x2, o);
      y2 = Nudge(y2, o);
    } else {
      x1 = x1 + o;
      x2 = x2 + o;
      y2 = y2 + o;
    }
    y1 = kExact ? Nudge(y1, o) : y1 + o;
    const T y = cX0 * (x + x2) + cX1 * x1 + cY1 * y1 + cY2 * y2;
    x2 = x;
    y2 = y;
    const T rx = kExact ? ZeroNaN(y) : y;
    if (kFirst && kExact) {
      u1 = ZeroNaN(u1);
      u2 = ZeroNaN(u2);
      v2 = ZeroNaN(v2);
    }
    if (kExact) v1 = ZeroNaN(v1);
    const T r = b0 * (rx - u2) + a1 * v1 + a2 * v2;
    u2 = rx;
    v2 = r;
    if constexpr (kShapeApart<T>) {
      return r * gain;
    } else {
      return Saturate(envelope * (r * gain) * Noise::kSaturatorDrive);
    }
  }

  // Whether any history value is NaN.
  bool HasNaN() const {
    const T all = hx1 + hx2 + hy1 + hy2 + rx1 + rx2 + ry1 + ry2;
    for (int l = 0; l < kLanes; ++l) {
      if (Lane(all, l) != Lane(all, l)) return true;
    }
    return false;
  }

  // After an odd number of steps: the slots back in their usual roles, and the offset flipped.
  void Unswap() {
    std::swap(hx1, hx2);
    std::swap(hy1, hy2);
    std::swap(rx1, rx2);
    std::swap(ry1, ry2);
    offset = -offset;
  }
};

// One voice's input and envelope value at sample i, or two voices' side by side.
template <typename T>
T Gather(const double* const* v, int i);
template <>
double Gather<double>(const double* const* v, int i) {
  return v[0][i];
}
template <>
Pair Gather<Pair>(const double* const* v, int i) {
  return Pair{v[0][i], v[1][i]};
}

void Scatter(double value, double* const* out, int i) {
  out[0][i] = value;
}
void Scatter(Pair value, double* const* out, int i) {
  out[0][i] = value[0];
  out[1][i] = value[1];
}

// The steps of a run of n >= 1 samples from state, exact or without the NaN flushes.
template <bool kExact, typename T>
void Steps(FilterState<T>& state, const double* const* x, const double* const* e,
           double* const* out, int n) {
  const T o = state.offset;
  Scatter(state.template Step<true, false, kExact>(Gather<T>(x, 0), Gather<T>(e, 0), o), out, 0);
  int i = 1;
  for (; i + 2 <= n; i += 2) {
    Scatter(state.template Step<false, true, kExact>(Gather<T>(x, i), Gather<T>(e, i), -o), out, i);
    Scatter(state.template Step<false, false, kExact>(Gather<T>(x, i + 1), Gather<T>(e, i + 1), o),
            out, i + 1);
  }
  if (i < n) {
    Scatter(state.template Step<false, true, kExact>(Gather<T>(x, i), Gather<T>(e, i), -o), out, i);
  } else {
    state.Unswap();
  }
}

// One voice (T = double) or two side by side (T = Pair): voices[l], with input x[l], envelope
// values e[l] and output out[l] for lane l.
//
// The NaN flushes cost a fifth of a step's operations and are no-ops unless a value is NaN. A
// NaN in the input or in either filter's output makes that filter's next output NaN, and so on
// to the end of the run (NaN times or plus anything is NaN); the band-pass takes the high-pass's
// output. So a run without the flushes that starts and ends with no NaN in the histories met
// none, and gave exactly what the exact run gives; otherwise the exact run does it again from
// the same state.
template <typename T>
void RenderFiltered(Noise* const* voices, const double* const* x, const double* const* e,
                    double* const* out, int n) {
  if (n <= 0) return;
  FilterState<T> state;
  state.Load(voices);
  const auto finish = [&] {
    state.Store(voices);
    if constexpr (kShapeApart<T>) {
      for (int l = 0; l < FilterState<T>::kLanes; ++l) Shape(e[l], out[l], n);
    }
  };
  if (!state.HasNaN()) {
    Steps<false>(state, x, e, out, n);
    if (!state.HasNaN()) {
      finish();
      return;
    }
    // The voices still hold the state the run started from.
    state.Load(voices);
  }
  Steps<true>(state, x, e, out, n);
  finish();
}

}  // namespace

void Noise::renderFiltered(const double* x, const double* envelopeValues, double* out, int n) {
  Noise* const voices[1] = {this};
  RenderFiltered<double>(voices, &x, &envelopeValues, &out, n);
}

void Noise::renderFilteredLanes(int pairs, Noise* const* voices, const double* const* x,
                                const double* const* e, double* const* out, int n) {
  // One pair after the other: a pair's filters fit the processor's vector registers, while two or
  // three pairs in one loop would keep spilling them to memory and cost more instructions than
  // the overlap of their chains saves.
  for (int p = 0; p < pairs; ++p) {
    const int a = 2 * p;
    RenderFiltered<Pair>(voices + a, x + a, e + a, out + a, n);
  }
}

Noise::Noise() {
  tickEnvelope.setAttack(kTickAttack);
  tickEnvelope.setDecay(kTickDecay);
}

void Noise::setSampleRate(double sampleRate) {
  resonator.setSampleRate(sampleRate);
  highpass.setSampleRate(sampleRate);
  tickEnvelope.setSampleRate(sampleRate);
  envelope.setSampleRate(sampleRate);
}

double Noise::process() {
  // A silent voice must not draw: the sequence is shared with every other noise voice.
  if (envelope.stage == Envelope::Idle) return 0.0;
  return render(WhiteNoise::draw());
}

void Noise::trigger(int time) {
  triggerTime = time;
  // Filter histories are kept, so a fast roll does not click.
  tickEnvelope.trigger();
  envelope.trigger();
}
