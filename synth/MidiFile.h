#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "engine/Instruments.h"
#include "engine/RhythmBank.h"

// Rhythms as Standard MIDI Files of type 0 (one track) and type 1 (one track per instrument).
// Besides the notes, the first track carries a private System Exclusive message with the triplet
// flag and the active-step mask, so that a file written here reads back with its step structure.
//
// These are plain functions of the rhythm data and the instruments' notes; they touch nothing
// else, so they can run on the editor thread with the plug-in mutex held only while a slot is
// read or written.

inline constexpr int kMidiFileDivision = 960;  // ticks per quarter note
inline constexpr int kMidiStepTicks = 120;     // a thirty-second note
inline constexpr int kMidiTripletStepTicks = 160;

// A file bigger than this is refused unread: a rhythm file holds a few kilobytes, and a file
// picked by mistake must not exhaust the host's memory.
inline constexpr std::size_t kMaxMidiFileBytes = 64u << 20;

// One rhythm as export reads it: a bank slot, {bank.grid[s], bank.active[s], bank.triplet[s]},
// or what is playing, {combined.grid, combined.active, combined.triplet}. Any non-zero byte
// counts as set.
struct RhythmView {
  const std::uint8_t (&grid)[kNumInstruments][kNumSteps];
  const std::uint8_t (&active)[kNumSteps];
  std::uint8_t triplet;
};

// One bank slot as import writes it, {bank.grid[s], bank.active[s], bank.triplet[s]}. Import
// writes through these references only, so no file can reach past the slot.
struct RhythmSlotRef {
  std::uint8_t (&grid)[kNumInstruments][kNumSteps];
  std::uint8_t (&active)[kNumSteps];
  std::uint8_t& triplet;
};

// The instruments' current `note` fields, and for export their `velocity` fields, in instrument
// order.
using InstrumentValues = std::span<const int, kNumInstruments>;

// Notes outside 0..127 (the Note parameter's "Off" and the values past 127) have no MIDI number:
// such an instrument is neither written nor matched when reading.
inline bool IsMidiNote(int note) {
  return note >= 0 && note <= 127;
}

// The whole file in memory. Notes are on channel 1 with the instruments' notes and velocities;
// every ordinary hit lasts half a step, the guiro plays one held note per run of hits, and steps
// that are not active take no time. A guiro note still held after the last step is ended there,
// so no reader is left with a hanging note. Velocities are clamped to 0..127.
std::vector<std::uint8_t> ExportMidiBytes(const RhythmView& rhythm, InstrumentValues notes,
                                          InstrumentValues velocities, bool type1);

// Reads a file into the slot. When the header is refused the slot is left as it was and the
// answer is false; past the header the slot is first cleared to the straight (or, with asTriplets,
// the triplet) template, so a file that fails later leaves what was read so far.
//
// Note-ons on any channel are quantised to the nearest active step and given to the first
// instrument whose note matches; the step-mask message sets the active steps and may switch the
// rest of the file to triplet timing.
bool ImportMidiBytes(std::span<const std::uint8_t> file, bool asTriplets, InstrumentValues notes,
                     const RhythmSlotRef& slot);

// File wrappers. Export answers false for an empty path or a file that cannot be written in
// full; import for an empty path, a file that cannot be read (or is larger than
// kMaxMidiFileBytes) and whatever ImportMidiBytes refuses.
bool ExportMidiFile(const std::filesystem::path& path, const RhythmView& rhythm,
                    InstrumentValues notes, InstrumentValues velocities, bool type1);
bool ImportMidiFile(const std::filesystem::path& path, bool asTriplets, InstrumentValues notes,
                    const RhythmSlotRef& slot);

// The two halves of ImportMidiFile, for a caller that reads the file before it takes the
// plug-in mutex and imports under it.
bool ReadMidiFileBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes);
// The other half of ExportMidiFile: writes bytes made under the mutex once it is released.
bool WriteMidiFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
