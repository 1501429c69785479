#pragma once

#include <cstdint>

#include "engine/Instruments.h"

inline constexpr int kNumRhythmSlots = 20;
// A step is a thirty-second note (a sixteenth-note triplet in a triplet rhythm): two 4/4 bars.
inline constexpr int kNumSteps = 64;

// The sequence editor's cell-menu operations. Fill/Clear set or clear every step of the row that
// falls on the named note value, counted from step 0; since a step is a thirty-second note,
// "1/32" is every step of the row.
enum class RhythmEdit : int {
  ClearRow,
  ClearColumn,
  ClearAll,
  FillHalves,
  FillQuarters,
  FillEighths,
  FillSixteenths,
  FillThirtySeconds,
  ClearHalves,
  ClearQuarters,
  ClearEighths,
  ClearSixteenths,
  ClearThirtySeconds,
};

// Step-activation templates of the sequence editor, by menu position.
enum RhythmTemplate : int {
  kActivateAllSteps = 0,
  kDeactivateSecondHalf = 1,
  kTemplate3_4 = 2,
  kTemplate6_8 = 3,
  kTemplate7_8 = 4,
  kTemplateTriplets = 5,
  kNumRhythmTemplates = 6,
};

// The twenty rhythm slots of one program. The arrays are public and laid out back to back with no
// other members so the state chunk can copy them byte for byte. Bytes are meant to hold 0 or 1, but
// a chunk may carry anything: readers treat any non-zero byte as set.
//
// Not synchronised: every caller holds the plug-in mutex, since the audio thread reads the combined
// rhythm built from this bank.
class RhythmBank {
 public:
  // Starts as the factory rhythms.
  RhythmBank();

  void ResetFromFactory();
  // Returns false (and changes nothing) for an out-of-range slot, here and in every editing call.
  bool Restore(int slot);
  bool Copy(int source, int target);
  // True when the slot differs from the factory rhythm of the same number in any byte.
  bool IsModified(int slot) const;
  // The factory name while unmodified, else "USER n"; "" for an out-of-range slot.
  const char* Label(int slot) const;

  // Only the arguments the operation uses are checked: ClearAll ignores row and step, ClearRow and
  // the Fill/Clear operations ignore step, ClearColumn ignores row.
  bool Edit(int slot, int row, int step, RhythmEdit op);
  // Unknown templates change nothing and answer false. Only the triplet template touches the
  // triplet flag; the others keep it, so "Activate all steps" after "Triplets" stays triplet.
  bool SetActiveSteps(int slot, int templateIndex);
  bool SetCell(int slot, int row, int step, bool hit);
  bool SetTriplet(int slot, bool on);

  std::uint8_t grid[kNumRhythmSlots][kNumInstruments][kNumSteps];
  std::uint8_t active[kNumRhythmSlots][kNumSteps];
  std::uint8_t triplet[kNumRhythmSlots];
};

inline constexpr int kRhythmBankBytes =
    kNumRhythmSlots * kNumInstruments * kNumSteps + kNumRhythmSlots * kNumSteps + kNumRhythmSlots;
static_assert(sizeof(RhythmBank) == kRhythmBankBytes, "the bank must be its three arrays only");
