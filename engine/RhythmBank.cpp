#include "engine/RhythmBank.h"

#include <cstring>

#include "engine/FactoryRhythms.h"

namespace {

bool ValidSlot(int slot) {
  return slot >= 0 && slot < kNumRhythmSlots;
}
bool ValidRow(int row) {
  return row >= 0 && row < kNumInstruments;
}
bool ValidStep(int step) {
  return step >= 0 && step < kNumSteps;
}

// Distance between the steps a Fill/Clear operation touches; 0 for the other operations.
int Spacing(RhythmEdit op) {
  switch (op) {
    case RhythmEdit::FillHalves:
    case RhythmEdit::ClearHalves:
      return 16;
    case RhythmEdit::FillQuarters:
    case RhythmEdit::ClearQuarters:
      return 8;
    case RhythmEdit::FillEighths:
    case RhythmEdit::ClearEighths:
      return 4;
    case RhythmEdit::FillSixteenths:
    case RhythmEdit::ClearSixteenths:
      return 2;
    case RhythmEdit::FillThirtySeconds:
    case RhythmEdit::ClearThirtySeconds:
      return 1;
    default:
      return 0;
  }
}

bool IsFill(RhythmEdit op) {
  return op >= RhythmEdit::FillHalves && op <= RhythmEdit::FillThirtySeconds;
}

// Steps kept active per period by the metric templates: 3/4 keeps 12 of every 16 thirty-seconds,
// 6/8 24 of 32, 7/8 28 of 32, triplets 6 of 8 (two bars of sixteenth-note triplets).
struct MetricTemplate {
  int period;
  int kept;
};

}  // namespace

RhythmBank::RhythmBank() {
  ResetFromFactory();
}

void RhythmBank::ResetFromFactory() {
  const FactoryRhythms& f = FactoryRhythms::Get();
  std::memcpy(grid, f.grid, sizeof(grid));
  std::memcpy(active, f.active, sizeof(active));
  std::memcpy(triplet, f.triplet, sizeof(triplet));
}

bool RhythmBank::Restore(int slot) {
  if (!ValidSlot(slot)) return false;
  const FactoryRhythms& f = FactoryRhythms::Get();
  std::memcpy(grid[slot], f.grid[slot], sizeof(grid[slot]));
  std::memcpy(active[slot], f.active[slot], sizeof(active[slot]));
  triplet[slot] = f.triplet[slot];
  return true;
}

bool RhythmBank::Copy(int source, int target) {
  if (!ValidSlot(source) || !ValidSlot(target)) return false;
  if (source == target) return true;
  std::memcpy(grid[target], grid[source], sizeof(grid[target]));
  std::memcpy(active[target], active[source], sizeof(active[target]));
  triplet[target] = triplet[source];
  return true;
}

bool RhythmBank::IsModified(int slot) const {
  if (!ValidSlot(slot)) return false;
  const FactoryRhythms& f = FactoryRhythms::Get();
  return triplet[slot] != f.triplet[slot] ||
         std::memcmp(active[slot], f.active[slot], sizeof(active[slot])) != 0 ||
         std::memcmp(grid[slot], f.grid[slot], sizeof(grid[slot])) != 0;
}

const char* RhythmBank::Label(int slot) const {
  return IsModified(slot) ? FactoryRhythms::UserLabel(slot) : FactoryRhythms::Name(slot);
}

bool RhythmBank::Edit(int slot, int row, int step, RhythmEdit op) {
  if (!ValidSlot(slot)) return false;
  switch (op) {
    case RhythmEdit::ClearAll:
      std::memset(grid[slot], 0, sizeof(grid[slot]));
      return true;
    case RhythmEdit::ClearColumn:
      if (!ValidStep(step)) return false;
      for (int r = 0; r < kNumInstruments; ++r) grid[slot][r][step] = 0;
      return true;
    case RhythmEdit::ClearRow:
      if (!ValidRow(row)) return false;
      std::memset(grid[slot][row], 0, sizeof(grid[slot][row]));
      return true;
    default:
      break;
  }
  const int spacing = Spacing(op);
  if (spacing == 0 || !ValidRow(row)) return false;
  const std::uint8_t value = IsFill(op) ? 1 : 0;
  for (int s = 0; s < kNumSteps; s += spacing) grid[slot][row][s] = value;
  return true;
}

bool RhythmBank::SetActiveSteps(int slot, int templateIndex) {
  if (!ValidSlot(slot)) return false;
  std::uint8_t* steps = active[slot];
  MetricTemplate metric{};
  switch (templateIndex) {
    case kActivateAllSteps:
      std::memset(steps, 1, kNumSteps);
      return true;
    case kDeactivateSecondHalf:
      std::memset(steps + kNumSteps / 2, 0, kNumSteps / 2);
      return true;
    case kTemplate3_4:
      metric = {16, 12};
      break;
    case kTemplate6_8:
      metric = {32, 24};
      break;
    case kTemplate7_8:
      metric = {32, 28};
      break;
    case kTemplateTriplets:
      metric = {8, 6};
      triplet[slot] = 1;
      break;
    default:
      return false;
  }
  for (int s = 0; s < kNumSteps; ++s) steps[s] = (s % metric.period) < metric.kept ? 1 : 0;
  return true;
}

bool RhythmBank::SetCell(int slot, int row, int step, bool hit) {
  if (!ValidSlot(slot) || !ValidRow(row) || !ValidStep(step)) return false;
  grid[slot][row][step] = hit ? 1 : 0;
  return true;
}

bool RhythmBank::SetTriplet(int slot, bool on) {
  if (!ValidSlot(slot)) return false;
  triplet[slot] = on ? 1 : 0;
  return true;
}
