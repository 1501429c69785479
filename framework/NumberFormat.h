#pragma once

#include <cstddef>

// printf-style number formatting that ignores the process locale: a host may set a locale whose
// decimal separator is a comma, but parameter displays and files always use a point.

// Like "%.*f": writes value with the given number of decimals.
void FormatFixed(char* text, std::size_t size, double value, int decimals);
// Like "%d" of the value truncated toward zero; values beyond the int range saturate.
void FormatTruncatedInt(char* text, std::size_t size, double value);
// The value truncated toward zero as an int, saturating at the int range (NaN gives 0).
int TruncateToInt(double value);
