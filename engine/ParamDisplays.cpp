#include "engine/ParamDisplays.h"

#include <cmath>
#include <cstring>

#include "framework/NumberFormat.h"
#include "framework/Text.h"

void DecibelDisplay(double value, char* text, std::size_t size) {
  if (value <= 0.0) {
    CopyText(text, size, "-oo");
    return;
  }
  FormatFixed(text, size, 20.0 * std::log10(value), 1);
}

void PanDisplay(double value, char* text, std::size_t size) {
  char left[64];
  char right[64];
  FormatFixed(left, sizeof(left), 100.0 - 100.0 * value, 0);
  FormatFixed(right, sizeof(right), 100.0 * value, 0);
  char joined[130];
  CopyText(joined, left);
  std::strcat(joined, ":");
  std::strcat(joined, right);
  CopyText(text, size, joined);
}
