#include "voices/Noise.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "framework/WideVectors.h"
#include "voices/WhiteNoise.h"

namespace {
constexpr double kTickAttack = 0.001;
constexpr double kTickDecay = 0.003;

namespace narrow {
#include "voices/NoiseFilterKernel.inc"
}  // namespace narrow

#if RHYTHMORIA_WIDE_VECTORS
// The same kernel compiled for 256-bit vectors, which also take the four-lane overloads. Only
// renderFilteredTogether() enters it, and only where WideVectors are enabled.
#pragma GCC push_options
#pragma GCC target("avx")
namespace wide {

using Quad = double __attribute__((vector_size(32)));

// As the two-lane ones. Intrinsics rather than std::bit_cast, whose own code is not compiled for
// 256-bit vectors.
Quad ZeroNaN(Quad v) {
  return _mm256_and_pd(_mm256_cmp_pd(v, v, _CMP_ORD_Q), v);
}
Quad Nudge(Quad v, Quad offset) {
  return _mm256_and_pd(_mm256_cmp_pd(v, v, _CMP_ORD_Q), v + offset);
}
Quad ClampToThree(Quad w) {
  // As minpd and maxpd: the second operand where either is NaN.
  return _mm256_max_pd(Quad{-3.0, -3.0, -3.0, -3.0}, _mm256_min_pd(Quad{3.0, 3.0, 3.0, 3.0}, w));
}
double Lane(Quad v, int l) {
  return v[l];
}
void Scatter(Quad value, double* const* out, int i) {
  for (int l = 0; l < 4; ++l) out[l][i] = value[l];
}

#include "voices/NoiseFilterKernel.inc"

template <>
Quad Gather<Quad>(const double* const* v, int i) {
  return Quad{v[0][i], v[1][i], v[2][i], v[3][i]};
}

// Three or four voices side by side; with three, the fourth lane runs empty on zeros.
void RenderFilteredFour(int count, Noise* const* voices, const double* const* x,
                        const double* const* e, double* const* out, int n) {
  if (count == 4) {
    RenderFiltered<Quad>(voices, x, e, out, n);
    return;
  }
  constexpr int kPiece = 64;
  static constexpr double kZeros[kPiece] = {};
  double scratch[kPiece];
  for (int from = 0; from < n; from += kPiece) {
    Noise* const v[4] = {voices[0], voices[1], voices[2], nullptr};
    const double* const xs[4] = {x[0] + from, x[1] + from, x[2] + from, kZeros};
    const double* const es[4] = {e[0] + from, e[1] + from, e[2] + from, kZeros};
    double* const outs[4] = {out[0] + from, out[1] + from, out[2] + from, scratch};
    RenderFiltered<Quad>(v, xs, es, outs, std::min(kPiece, n - from));
  }
}

}  // namespace wide
#pragma GCC pop_options
#endif

#if RHYTHMORIA_WIDE_VECTORS
// The envelopes' pass with the filters of one or two voices alongside, compiled for processors
// with 32 vector registers: the envelopes' and the filters' states then all stay in registers,
// and the chains overlap. With 16 the compiler keeps spilling them, and the loop takes as long as
// the two it replaces. The compiler must not fuse a multiplication and an addition (which would
// change bits; the build forbids it), nor pair up unrelated scalar operations in vectors, which
// lengthens the chains.
#pragma GCC push_options
#pragma GCC target("avx512f,avx512vl")
#pragma GCC optimize("no-tree-slp-vectorize")
namespace alongside {
#define RHYTHMORIA_NOISE_ALONGSIDE_ENVELOPES
#include "voices/EnvelopeLanes.inc"
#include "voices/NoiseFilterKernel.inc"
#undef RHYTHMORIA_NOISE_ALONGSIDE_ENVELOPES
}  // namespace alongside
#pragma GCC pop_options

bool ProcessorRunsFiltersAlongside() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
}
#endif

}  // namespace

#if RHYTHMORIA_WIDE_VECTORS
bool Noise::filtersAlongsideEnvelopes = ProcessorRunsFiltersAlongside();
#else
bool Noise::filtersAlongsideEnvelopes = false;
#endif

bool Noise::renderEnvelopesAndFilters(Envelope* const* envelopes, double* const* values,
                                      int* lengths, int envelopeCount, int n, int count,
                                      Noise* const* voices, const double* const* x,
                                      const double* const* e, double* const* out) {
#if RHYTHMORIA_WIDE_VECTORS
  // The code below is compiled for processors that may not be this one.
  if (!filtersAlongsideEnvelopes) {
    Envelope::renderSideBySide(envelopes, values, lengths, envelopeCount, n);
    return false;
  }
  if (count == 2) {
    return alongside::RenderFilteredAlongside<alongside::Pair>(envelopes, values, lengths,
                                                               envelopeCount, n, voices, x, e, out);
  }
  return alongside::RenderFilteredAlongside<double>(envelopes, values, lengths, envelopeCount, n,
                                                    voices, x, e, out);
#else
  (void)count, (void)voices, (void)x, (void)e, (void)out;
  Envelope::renderSideBySide(envelopes, values, lengths, envelopeCount, n);
  return false;
#endif
}

void Noise::renderFiltered(const double* x, const double* envelopeValues, double* out, int n) {
  Noise* const voices[1] = {this};
  narrow::RenderFiltered<double>(voices, &x, &envelopeValues, &out, n);
}

int Noise::lanesTogether(int count) {
  if (count <= 1) return count;
  if (WideVectors::enabled && count >= 3) return std::min(count, 4);
  return std::min(count & ~1, kMaxTogether);
}

void Noise::renderFilteredTogether(int count, Noise* const* voices, const double* const* x,
                                   const double* const* e, double* const* out, int n) {
#if RHYTHMORIA_WIDE_VECTORS
  if (WideVectors::enabled && (count == 3 || count == 4)) {
    wide::RenderFilteredFour(count, voices, x, e, out, n);
    return;
  }
#endif
  // One pair after the other: a pair's filters fit the processor's 128-bit registers, while two
  // or three pairs in one loop would keep spilling them to memory and cost more instructions than
  // the overlap of their chains saves.
  int a = 0;
  for (; a + 2 <= count; a += 2) {
    narrow::RenderFiltered<narrow::Pair>(voices + a, x + a, e + a, out + a, n);
  }
  if (a < count) narrow::RenderFiltered<double>(voices + a, x + a, e + a, out + a, n);
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
