#include "voices/HighPass.h"

#include <algorithm>
#include <cmath>

#include "voices/Resonator.h"

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kSqrt2 = 1.4142135623730951;
}  // namespace

void HighPass::update() {
  x1 = 0.0;
  x2 = 0.0;
  y1 = 0.0;
  y2 = 0.0;
  offset = kDenormalOffset;
  // A rate not above 0 would divide by zero; it leaves the filter a plain pass-through instead.
  const double corner = std::min(frequency, HighestStableFrequency(sampleRate));
  const double omega = (sampleRate > 0.0 ? kTwoPi / sampleRate : 0.0) * corner;
  const double alpha = std::sin(omega) / kSqrt2;
  const double d = 1.0 / (1.0 + alpha);
  const double c = std::cos(omega);
  cY1 = 2.0 * c * d;
  cY2 = (alpha - 1.0) * d;
  cX0 = (1.0 + c) * 0.5 * d;
  cX1 = -(1.0 + c) * d;
}
