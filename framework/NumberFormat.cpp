#include "framework/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

void Terminate(char* text, std::size_t size, char* end) {
  if (end >= text + size) end = text + size - 1;
  *end = '\0';
}

}  // namespace

void FormatFixed(char* text, std::size_t size, double value, int decimals) {
  if (!text || size == 0) return;
  if (std::isnan(value)) value = 0.0;
  char buffer[400];  // enough for any finite double in fixed notation with 6 decimals
  const auto result =
      std::to_chars(buffer, buffer + sizeof(buffer) - 1, value, std::chars_format::fixed, decimals);
  char* end = result.ec == std::errc() ? result.ptr : buffer;
  const std::size_t n = static_cast<std::size_t>(end - buffer);
  const std::size_t copy = n < size - 1 ? n : size - 1;
  for (std::size_t i = 0; i < copy; ++i) text[i] = buffer[i];
  Terminate(text, size, text + copy);
}

int TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
    return std::numeric_limits<int>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(value);
}

void FormatTruncatedInt(char* text, std::size_t size, double value) {
  if (!text || size == 0) return;
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), TruncateToInt(value));
  const std::size_t n = static_cast<std::size_t>(result.ptr - buffer);
  const std::size_t copy = n < size - 1 ? n : size - 1;
  for (std::size_t i = 0; i < copy; ++i) text[i] = buffer[i];
  Terminate(text, size, text + copy);
}
