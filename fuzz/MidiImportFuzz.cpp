// The MIDI file importer, as "Import Rhythm" and "Import Rhythm as Triplets" hand it a user's
// file. Beyond staying inside the file and the slot, whatever it reads must be a rhythm our own
// writer can carry: exported and imported again, it comes back the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "synth/MidiFile.h"

namespace {

// The factory notes, which the seed files use.
constexpr int kNotes[kNumInstruments] = {36, 40, 38, 60, 61, 64, 56, 75,
                                         42, 37, 49, 57, 54, 74, 79};
constexpr int kVelocities[kNumInstruments] = {64, 64, 64, 64, 64, 64, 64, 64,
                                              64, 64, 64, 64, 64, 64, 64};
// Never written by an import, so a refused file shows as a slot still full of it.
constexpr std::uint8_t kUntouched = 2;

struct Slot {
  std::uint8_t grid[kNumInstruments][kNumSteps];
  std::uint8_t active[kNumSteps];
  std::uint8_t triplet;

  explicit Slot(std::uint8_t fill) { std::memset(this, fill, sizeof *this); }
  RhythmSlotRef Ref() { return {grid, active, triplet}; }
  RhythmView View() const { return {grid, active, triplet}; }
  bool All(bool (*pred)(std::uint8_t)) const {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(this);
    return std::all_of(bytes, bytes + sizeof *this, pred);
  }
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Triplet timing always comes with its template, and a rhythm whose first step is inactive has
// no place for the notes that open its file: only other rhythms are sure to come back.
bool Carried(const Slot& s) {
  if (!s.active[0]) return false;
  if (!s.triplet) return true;
  for (int i = 0; i < kNumSteps; ++i) {
    if (s.active[i] != (i % 8 < 6)) return false;
  }
  return true;
}

void RoundTrip(const Slot& read, bool type1) {
  const std::vector<std::uint8_t> file = ExportMidiBytes(read.View(), kNotes, kVelocities, type1);
  Slot back(0);
  Check(ImportMidiBytes(file, false, kNotes, back.Ref()));
  Check(back.triplet == read.triplet);
  Check(std::memcmp(back.active, read.active, sizeof back.active) == 0);
  for (int k = 0; k < kNumInstruments; ++k) {
    for (int s = 0; s < kNumSteps; ++s) {
      const bool played = read.grid[k][s] && read.active[s];
      // The guiro comes back as the starts of its runs, and never where it did not play.
      if (k == kGuiro ? back.grid[k][s] && !played : back.grid[k][s] != played) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  for (bool asTriplets : {false, true}) {
    Slot slot(kUntouched);
    const bool ok = ImportMidiBytes(file, asTriplets, kNotes, slot.Ref());
    const bool bits = slot.All([](std::uint8_t b) { return b <= 1; });
    Check(bits || (!ok && slot.All([](std::uint8_t b) { return b == kUntouched; })));
    if (ok && Carried(slot)) {
      RoundTrip(slot, false);
      RoundTrip(slot, true);
    }
  }
  return 0;
}
