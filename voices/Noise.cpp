#include "voices/Noise.h"

#include <bit>
#include <cstdint>

#include "voices/WhiteNoise.h"

namespace {
constexpr double kTickAttack = 0.001;
constexpr double kTickDecay = 0.003;

// Two doubles, and the comparison masks over them (all bits set where true).
using Pair = double __attribute__((vector_size(16)));
using PairBits = std::int64_t __attribute__((vector_size(16)));

Pair Make(double a, double b) {
  return Pair{a, b};
}

Pair Select(PairBits mask, Pair ifTrue, Pair ifFalse) {
  const auto t = std::bit_cast<PairBits>(ifTrue);
  const auto f = std::bit_cast<PairBits>(ifFalse);
  return std::bit_cast<Pair>((mask & t) | (~mask & f));
}

// v, or +0.0 where v is NaN.
Pair ZeroNaN(Pair v) {
  return Select(v == v, v, Pair{0.0, 0.0});
}

// HighPass::nudge for both lanes: NaN becomes +0.0, anything else gets the offset.
Pair Nudge(Pair v, Pair offset) {
  return Select(v == v, v + offset, Pair{0.0, 0.0});
}

Pair Saturate(Pair w) {
  const Pair f = 10.0 * w * (w * w + 27.0) / (9.0 * (w * w) + 27.0);
  return Select(w < -3.0, Pair{-10.0, -10.0}, Select(w > 3.0, Pair{10.0, 10.0}, f));
}

}  // namespace

namespace {

// The state of two voices' filters, one voice per lane.
struct PairState {
  Pair cX0, cX1, cY1, cY2, b0, a1, a2, gain;
  Pair offset, hx1, hx2, hy1, hy2, rx1, rx2, ry1, ry2;

  void Load(const Noise& a, const Noise& b) {
    const HighPass& ha = a.highpass;
    const HighPass& hb = b.highpass;
    const Resonator& ra = a.resonator;
    const Resonator& rb = b.resonator;
    cX0 = Make(ha.cX0, hb.cX0);
    cX1 = Make(ha.cX1, hb.cX1);
    cY1 = Make(ha.cY1, hb.cY1);
    cY2 = Make(ha.cY2, hb.cY2);
    b0 = Make(ra.b0, rb.b0);
    a1 = Make(ra.a1, rb.a1);
    a2 = Make(ra.a2, rb.a2);
    gain = Make(a.gain, b.gain);
    offset = Make(ha.offset, hb.offset);
    hx1 = Make(ha.x1, hb.x1);
    hx2 = Make(ha.x2, hb.x2);
    hy1 = Make(ha.y1, hb.y1);
    hy2 = Make(ha.y2, hb.y2);
    rx1 = Make(ra.x1, rb.x1);
    rx2 = Make(ra.x2, rb.x2);
    ry1 = Make(ra.y1, rb.y1);
    ry2 = Make(ra.y2, rb.y2);
  }

  void Store(Noise& a, Noise& b) const {
    Noise* voices[2] = {&a, &b};
    for (int l = 0; l < 2; ++l) {
      HighPass& h = voices[l]->highpass;
      Resonator& r = voices[l]->resonator;
      h.offset = offset[l];
      h.x1 = hx1[l];
      h.x2 = hx2[l];
      h.y1 = hy1[l];
      h.y2 = hy2[l];
      r.x1 = rx1[l];
      r.x2 = rx2[l];
      r.y1 = ry1[l];
      r.y2 = ry2[l];
    }
  }

  // One sample of both voices: HighPass::process, Resonator::process and shape().
  Pair Step(Pair input, Pair envelope) {
    const Pair x = Nudge(input, offset);
    hx1 = Nudge(hx1, offset);
    hx2 = Nudge(hx2, offset);
    hy1 = Nudge(hy1, offset);
    hy2 = Nudge(hy2, offset);
    offset = -offset;
    const Pair y = cX0 * (x + hx2) + cX1 * hx1 + cY1 * hy1 + cY2 * hy2;
    hx2 = hx1;
    hx1 = x;
    hy2 = hy1;
    hy1 = y;
    const Pair rx = ZeroNaN(y);
    rx1 = ZeroNaN(rx1);
    rx2 = ZeroNaN(rx2);
    ry1 = ZeroNaN(ry1);
    ry2 = ZeroNaN(ry2);
    const Pair r = b0 * (rx - rx2) + a1 * ry1 + a2 * ry2;
    rx2 = rx1;
    rx1 = rx;
    ry2 = ry1;
    ry1 = r;
    const Pair z = r * gain;
    return Saturate(envelope * z * Noise::kSaturatorDrive);
  }
};

// P pairs in one loop: their recursions are independent, so the processor overlaps them instead
// of waiting out one voice's chain of dependent operations before starting the next.
template <int P>
void RenderLanes(Noise* const* voices, const double* const* x, const double* const* e,
                 double* const* out, int n) {
  PairState state[P];
  for (int p = 0; p < P; ++p) state[p].Load(*voices[2 * p], *voices[2 * p + 1]);
  for (int i = 0; i < n; ++i) {
    for (int p = 0; p < P; ++p) {
      const int a = 2 * p;
      const int b = a + 1;
      const Pair v = state[p].Step(Make(x[a][i], x[b][i]), Make(e[a][i], e[b][i]));
      out[a][i] = v[0];
      out[b][i] = v[1];
    }
  }
  for (int p = 0; p < P; ++p) state[p].Store(*voices[2 * p], *voices[2 * p + 1]);
}

}  // namespace

void Noise::renderFilteredPair(Noise& a, Noise& b, const double* xa, const double* xb,
                               const double* ea, const double* eb, double* outA, double* outB,
                               int n) {
  Noise* const voices[2] = {&a, &b};
  const double* const x[2] = {xa, xb};
  const double* const e[2] = {ea, eb};
  double* const out[2] = {outA, outB};
  RenderLanes<1>(voices, x, e, out, n);
}

void Noise::renderFilteredLanes(int pairs, Noise* const* voices, const double* const* x,
                                const double* const* e, double* const* out, int n) {
  if (n <= 0) return;
  switch (pairs) {
    case 1:
      RenderLanes<1>(voices, x, e, out, n);
      break;
    case 2:
      RenderLanes<2>(voices, x, e, out, n);
      break;
    case 3:
      RenderLanes<3>(voices, x, e, out, n);
      break;
    default:
      break;
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
