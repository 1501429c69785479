#include "engine/CombinedRhythm.h"

#include <cstring>

#include "engine/FactoryRhythms.h"

RhythmSelection SelectRhythms(std::span<const std::uint8_t, kNumRhythmButtons> rhythmButton,
                              std::uint8_t rowAbove) {
  RhythmSelection sel;
  const std::uint8_t above = rowAbove != 0 ? 1 : 0;
  for (int b = 0; b < kNumRhythmButtons; ++b) {
    if (rhythmButton[b] == 0) continue;  // both of its slots stay unselected
    sel.selected[b] = above;
    sel.selected[b + kNumRhythmButtons] = 1 - above;
    if (sel.anySelected == 0) {
      sel.first = above ? b : b + kNumRhythmButtons;
      sel.anySelected = 1;
    }
  }
  return sel;
}

void CombinedRhythm::Build(const RhythmBank& bank, const RhythmSelection& selection) {
  std::memset(grid, 0, sizeof(grid));
  std::memset(active, 1, sizeof(active));
  triplet = 0;

  if (selection.anySelected == 0) {
    const FactoryRhythms& f = FactoryRhythms::Get();
    for (int row = kTambourine; row <= kQuijada; ++row) {
      std::memcpy(grid[row], f.grid[0][row], sizeof(grid[row]));
    }
    return;
  }

  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    if (selection.selected[slot] == 0) continue;
    for (int row = 0; row < kNumInstruments; ++row) {
      for (int s = 0; s < kNumSteps; ++s) {
        if (bank.grid[slot][row][s] != 0) grid[row][s] = 1;
      }
    }
    for (int s = 1; s < kNumSteps; ++s) {
      if (bank.active[slot][s] == 0) active[s] = 0;
    }
    if (bank.triplet[slot] != 0) triplet = 1;
  }
}

RhythmSelection CombinedRhythm::Rebuild(
    const RhythmBank& bank, std::span<const std::uint8_t, kNumRhythmButtons> rhythmButton,
    std::uint8_t rowAbove) {
  const RhythmSelection selection = SelectRhythms(rhythmButton, rowAbove);
  Build(bank, selection);
  return selection;
}
