#include "voices/Resonator.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;
}  // namespace

double HighestStableFrequency(double sampleRate) {
  return 0.45 * sampleRate;
}

void Resonator::setSampleRate(double sr) {
  sampleRate = sr;
  b0 = 0.0;
  a1 = 0.0;
  a2 = 0.0;
  x1 = 0.0;
  x2 = 0.0;
  y1 = 0.0;
  y2 = 0.0;
}

void Resonator::update() {
  // At low sample rates a corner above the Nyquist frequency would make the filter unstable and
  // fill the output with infinities; such corners stop just below it. From 26.7 kHz up every
  // corner the parameters allow is far below that limit, so nothing changes there.
  const double omega =
      kTwoPi * std::min(frequency, HighestStableFrequency(sampleRate)) / sampleRate;
  const double alpha = std::sin(omega) / (2.0 * q);
  const double d = 1.0 / (1.0 + alpha);
  b0 = q * alpha * d;
  a1 = 2.0 * std::cos(omega) * d;
  a2 = (alpha - 1.0) * d;
  // A fresh voice gets its frequency before its q, and q = 0 (or a rate of 0) makes these NaN;
  // NaN coefficients would send NaN to the output on every sample. Silence until the values
  // make sense instead.
  if (!std::isfinite(b0) || !std::isfinite(a1) || !std::isfinite(a2)) {
    b0 = 0.0;
    a1 = 0.0;
    a2 = 0.0;
  }
}
