#pragma once

#include <cmath>

// Two-pole band-pass with constant skirt gain: the peak gain equals q, so a high resonance also
// makes the voice louder (and saturate harder).
class Resonator {
 public:
  // Clears coefficients and history: the resonator is silent until its frequency or q is set
  // again, which the engine does when it re-applies all parameters.
  void setSampleRate(double sr);
  // Both keep the history, so a parameter sweep during a note does not click.
  void setFrequency(double hz) {
    frequency = hz;
    update();
  }
  void setQ(double resonance) {
    q = resonance;
    update();
  }
  void update();

  double process(double x) {
    if (std::isnan(x)) x = 0.0;
    if (std::isnan(x1)) x1 = 0.0;
    if (std::isnan(x2)) x2 = 0.0;
    if (std::isnan(y1)) y1 = 0.0;
    if (std::isnan(y2)) y2 = 0.0;
    const double y = b0 * (x - x2) + a1 * y1 + a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }

  double sampleRate = 44100.0;
  double frequency = 0.0;
  double q = 0.0;
  double b0 = 0.0;
  double a1 = 0.0;
  double a2 = 0.0;
  double x1 = 0.0;
  double x2 = 0.0;
  double y1 = 0.0;
  double y2 = 0.0;
};

// Highest corner frequency the voices' filters are given at a sample rate: just below the Nyquist
// frequency, where they stay stable.
double HighestStableFrequency(double sampleRate);
