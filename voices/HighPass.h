#pragma once

#include <cmath>

#include "voices/Filter.h"

// Second-order Butterworth high-pass (Q = 1/sqrt 2).
//
// A tiny offset of alternating sign rides on the input and the history; it keeps the recursion
// out of the denormal range when the input falls silent, and averages out. Any NaN in the input
// or the history is flushed to 0, so one bad sample cannot poison the filter for good.
class HighPass final : public Filter {
 public:
  static constexpr double kDenormalOffset = 1e-13;

  // Coefficients stay 0 until the first setSampleRate or setFrequency computes them.
  explicit HighPass(double hz) : Filter(hz) {}

  void update() override;

  double process(double x) {
    x = std::isnan(x) ? 0.0 : x + offset;
    x1 = nudge(x1);
    x2 = nudge(x2);
    y1 = nudge(y1);
    y2 = nudge(y2);
    offset = -offset;
    const double y = cX0 * (x + x2) + cX1 * x1 + cY1 * y1 + cY2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }

  double cY1 = 0.0;
  double cY2 = 0.0;
  double cX0 = 0.0;
  double cX1 = 0.0;
  double x1 = 0.0;
  double x2 = 0.0;
  double y1 = 0.0;
  double y2 = 0.0;
  double offset = kDenormalOffset;

 private:
  double nudge(double v) const { return std::isnan(v) ? 0.0 : v + offset; }
};
