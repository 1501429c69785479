#include "tests/support/TestSignals.h"

#include <cmath>

namespace testing_support {

bool allFinite(const std::vector<double>& samples) {
  for (double s : samples) {
    if (!std::isfinite(s)) return false;
  }
  return true;
}

}  // namespace testing_support
