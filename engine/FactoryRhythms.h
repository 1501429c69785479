#pragma once

#include <cstdint>

#include "engine/RhythmBank.h"

// The twenty built-in rhythms every bank slot starts from and is compared against. One read-only
// table per process, shared by all plug-in instances.
class FactoryRhythms {
 public:
  // Built on the first call; safe to call from any thread.
  static const FactoryRhythms& Get();

  // "Waltz" .. "Latin Swing"; "" for an out-of-range slot.
  static const char* Name(int slot);
  // "USER 1" .. "USER 20"; "" for an out-of-range slot.
  static const char* UserLabel(int slot);

  std::uint8_t grid[kNumRhythmSlots][kNumInstruments][kNumSteps];
  std::uint8_t active[kNumRhythmSlots][kNumSteps];
  std::uint8_t triplet[kNumRhythmSlots];

 private:
  FactoryRhythms();
};
