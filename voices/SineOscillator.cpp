#include "voices/SineOscillator.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;

SineOscillator::Table buildTable() {
  SineOscillator::Table t{};
  for (int i = 0; i < SineOscillator::kTableSize; ++i) {
    t[i] = std::sin(i * kTwoPi / SineOscillator::kTableSize);
  }
  return t;
}
}  // namespace

const SineOscillator::Table& SineOscillator::table() {
  static const Table t = buildTable();
  return t;
}

SineOscillator::SineOscillator() : sineTable_(table().data()) {}

void SineOscillator::setFrequency(double hz) {
  const double steps = hz * kPhaseRange / sampleRate;
  // Truncated toward zero as a 32-bit integer. A rate of 0 or a non-finite result must not reach
  // the conversion (undefined behaviour); such a rate gives silence instead of a crash.
  if (!std::isfinite(steps) || std::fabs(steps) >= 9.0e18) {
    increment = 0;
    return;
  }
  increment = static_cast<std::uint32_t>(static_cast<std::int64_t>(steps));
}
