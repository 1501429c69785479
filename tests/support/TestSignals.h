#pragma once

#include <cstddef>
#include <vector>

namespace testing_support {

// Renders n samples of anything with a process() member into a vector.
template <typename Voice>
std::vector<double> render(Voice& voice, std::size_t n) {
  std::vector<double> out(n);
  for (auto& s : out) s = voice.process();
  return out;
}

// True when every value is finite.
bool allFinite(const std::vector<double>& samples);

}  // namespace testing_support
