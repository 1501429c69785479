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

void Noise::renderFilteredPair(Noise& a, Noise& b, const double* xa, const double* xb,
                               const double* ea, const double* eb, double* outA, double* outB,
                               int n) {
  HighPass& ha = a.highpass;
  HighPass& hb = b.highpass;
  Resonator& ra = a.resonator;
  Resonator& rb = b.resonator;
  const Pair cX0 = Make(ha.cX0, hb.cX0);
  const Pair cX1 = Make(ha.cX1, hb.cX1);
  const Pair cY1 = Make(ha.cY1, hb.cY1);
  const Pair cY2 = Make(ha.cY2, hb.cY2);
  const Pair b0 = Make(ra.b0, rb.b0);
  const Pair a1 = Make(ra.a1, rb.a1);
  const Pair a2 = Make(ra.a2, rb.a2);
  const Pair gain = Make(a.gain, b.gain);
  Pair offset = Make(ha.offset, hb.offset);
  Pair hx1 = Make(ha.x1, hb.x1);
  Pair hx2 = Make(ha.x2, hb.x2);
  Pair hy1 = Make(ha.y1, hb.y1);
  Pair hy2 = Make(ha.y2, hb.y2);
  Pair rx1 = Make(ra.x1, rb.x1);
  Pair rx2 = Make(ra.x2, rb.x2);
  Pair ry1 = Make(ra.y1, rb.y1);
  Pair ry2 = Make(ra.y2, rb.y2);
  for (int i = 0; i < n; ++i) {
    // HighPass::process
    const Pair x = Nudge(Make(xa[i], xb[i]), offset);
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
    // Resonator::process
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
    // shape()
    const Pair z = r * gain;
    const Pair out = Saturate(Make(ea[i], eb[i]) * z * kSaturatorDrive);
    outA[i] = out[0];
    outB[i] = out[1];
  }
  ha.offset = offset[0];
  hb.offset = offset[1];
  ha.x1 = hx1[0];
  hb.x1 = hx1[1];
  ha.x2 = hx2[0];
  hb.x2 = hx2[1];
  ha.y1 = hy1[0];
  hb.y1 = hy1[1];
  ha.y2 = hy2[0];
  hb.y2 = hy2[1];
  ra.x1 = rx1[0];
  rb.x1 = rx1[1];
  ra.x2 = rx2[0];
  rb.x2 = rx2[1];
  ra.y1 = ry1[0];
  rb.y1 = ry1[1];
  ra.y2 = ry2[0];
  rb.y2 = ry2[1];
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
