#pragma once

#include <cstddef>

// Gain as decibels with one decimal; "-oo" for silence.
void DecibelDisplay(double value, char* text, std::size_t size);
// Pan position as "left:right" percentages, 0.5 showing "50:50".
void PanDisplay(double value, char* text, std::size_t size);
