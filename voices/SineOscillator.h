#pragma once

#include <array>
#include <cstdint>

// Table-lookup sine: a 28-bit phase whose top 12 bits index one process-wide table of 4096
// entries. No interpolation; the truncated index is part of the sound.
class SineOscillator {
 public:
  static constexpr int kTableSize = 4096;
  static constexpr double kPhaseRange = 268435456.0;  // 2^28, one cycle
  static constexpr std::uint32_t kPhaseMask = 0x0FFFFFFFu;

  using Table = std::array<double, kTableSize>;
  // Entry i = sin(i * 2pi / 4096); built on first use, read-only afterwards.
  static const Table& table();

  SineOscillator();

  void setFrequency(double hz);
  // The increment keeps the old rate until the frequency is set again.
  void setSampleRate(double sr) { sampleRate = sr; }
  void resetPhase() { phase = 0; }

  double process() {
    const double s = value();
    advance();
    return s;
  }
  // process() in two halves: the value at the current phase, then the step to the next.
  double value() const { return sineTable_[(phase >> 16) & (kTableSize - 1)]; }
  void advance() { phase = (phase + increment) & kPhaseMask; }
  // What process() gives from phase 0.
  double startValue() const { return sineTable_[0]; }

  double sampleRate = 44100.0;
  std::uint32_t phase = 0;
  std::uint32_t increment = 0;

 private:
  const double* sineTable_;
};
