#pragma once

// A filter whose coefficients depend only on the sample rate and one corner frequency. Changing
// either recomputes the coefficients and clears the history, so a changed filter starts clean.
class Filter {
 public:
  virtual void setSampleRate(double sr) {
    sampleRate = sr;
    update();
  }
  virtual void setFrequency(double hz) {
    frequency = hz;
    update();
  }
  virtual void update() = 0;
  virtual ~Filter() = default;

  double sampleRate = 44100.0;
  // Corner frequency in Hz.
  double frequency = 0.0;

 protected:
  Filter() = default;
  explicit Filter(double hz) : frequency(hz) {}
  Filter(const Filter&) = default;
  Filter& operator=(const Filter&) = default;
};
