#pragma once

#include <cstdint>
#include <span>

#include "engine/RhythmBank.h"

inline constexpr int kNumRhythmButtons = 10;

// Which slots the ten Rhythm buttons and the Rhythm Row switch select.
struct RhythmSelection {
  std::uint8_t selected[kNumRhythmSlots] = {};
  std::uint8_t anySelected = 0;
  // Slot of the lowest-numbered button that is on; 0 when none is.
  int first = 0;
};

// Button b selects slot b with the row switch "above" and slot b + 10 "below". A byte counts as on
// when it is non-zero.
RhythmSelection SelectRhythms(std::span<const std::uint8_t, kNumRhythmButtons> rhythmButton,
                              std::uint8_t rowAbove);

// What the sequencer plays: the union of the selected slots' hits, the intersection of their active
// steps (step 0 always plays, so a rhythm can never lose every step) and triplet timing when any of
// them is triplet. With nothing selected only the accompaniment rows of the first factory rhythm
// remain, so tambourine, guiro and quijada keep playing.
//
// Build allocates nothing and touches only this object: it may run on the audio thread when a
// Rhythm button is automated, under the plug-in mutex that also guards the bank.
class CombinedRhythm {
 public:
  void Build(const RhythmBank& bank, const RhythmSelection& selection);

  // Selects and builds in one go; the answer tells the caller which slot the editor should follow.
  RhythmSelection Rebuild(const RhythmBank& bank,
                          std::span<const std::uint8_t, kNumRhythmButtons> rhythmButton,
                          std::uint8_t rowAbove);

  std::uint8_t grid[kNumInstruments][kNumSteps] = {};
  std::uint8_t active[kNumSteps] = {};
  std::uint8_t triplet = 0;
};
