#include <algorithm>
#include <fstream>

#include "synth/MidiFile.h"

namespace {

constexpr std::uint8_t kNoteOn = 0x90;  // channel 1
constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kSysEx = 0xF0;
constexpr std::uint8_t kEndOfSysEx = 0xF7;
constexpr std::uint8_t kMeta = 0xFF;
constexpr std::uint8_t kTrackName = 0x03;
constexpr std::uint8_t kEndOfTrack = 0x2F;
// Triplet byte, sixteen mask bytes and the closing F7.
constexpr std::uint8_t kStepMaskLength = 18;
constexpr int kNumMaskBytes = kNumSteps / 4;

// The names the editor's menus give the instruments.
constexpr const char* kTrackNames[kNumInstruments] = {
    "Base",  "Snare 1", "Snare 2",  "Short Bongo", "Long Bongo", "Conga", "Cowbell", "Claves",
    "Hihat", "Rimshot", "Cymbal 1", "Cymbal 2",    "Tambourine", "Guiro", "Quijada"};

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutVarLen(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

// A data byte with its top bit set would read as a status byte.
std::uint8_t DataByte(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}

// Events with time kept as the delta still to be written before the next one.
class TrackWriter {
 public:
  explicit TrackWriter(std::vector<std::uint8_t>& out) : mOut(out) {}

  void Wait(std::uint32_t ticks) { mPending += ticks; }
  void Event(std::initializer_list<std::uint8_t> bytes) {
    PutVarLen(mOut, mPending);
    mPending = 0;
    mOut.insert(mOut.end(), bytes);
  }
  void Bytes(const std::uint8_t* data, std::size_t size) {
    mOut.insert(mOut.end(), data, data + size);
  }

 private:
  std::vector<std::uint8_t>& mOut;
  std::uint32_t mPending = 0;
};

void WriteStepMask(TrackWriter& track, const RhythmView& rhythm) {
  track.Event({kSysEx, kStepMaskLength, static_cast<std::uint8_t>(rhythm.triplet ? 1 : 0)});
  std::uint8_t mask[kNumMaskBytes] = {};
  for (int step = 0; step < kNumSteps; ++step) {
    if (rhythm.active[step]) mask[step / 4] |= static_cast<std::uint8_t>(1u << (step % 4));
  }
  track.Bytes(mask, sizeof mask);
  track.Bytes(&kEndOfSysEx, 1);
}

void WriteTrackName(TrackWriter& track, const char* name) {
  std::vector<std::uint8_t> text(name, name + std::char_traits<char>::length(name));
  track.Event({kMeta, kTrackName, static_cast<std::uint8_t>(text.size())});
  track.Bytes(text.data(), text.size());
}

// Instruments first..last - 1 of the rhythm. An ordinary hit sounds for the first half of its
// step; the guiro scrapes on from the first hit of a run to the start of the first active step
// without one.
void WriteNotes(TrackWriter& track, const RhythmView& rhythm, int first, int last,
                InstrumentValues notes, InstrumentValues velocities) {
  const std::uint32_t halfStep = (rhythm.triplet ? kMidiTripletStepTicks : kMidiStepTicks) / 2;
  bool guiroHeld = false;
  for (int step = 0; step < kNumSteps; ++step) {
    if (!rhythm.active[step]) continue;
    for (int k = first; k < last; ++k) {
      if (!IsMidiNote(notes[k])) continue;
      const bool hit = rhythm.grid[k][step] != 0;
      const std::uint8_t note = DataByte(notes[k]);
      if (k == kGuiro) {
        if (guiroHeld && !hit) {
          track.Event({kNoteOff, note, 0});
          guiroHeld = false;
        } else if (!guiroHeld && hit) {
          track.Event({kNoteOn, note, DataByte(velocities[k])});
          guiroHeld = true;
        }
      } else if (hit) {
        track.Event({kNoteOn, note, DataByte(velocities[k])});
      }
    }
    track.Wait(halfStep);
    for (int k = first; k < last; ++k) {
      if (k != kGuiro && rhythm.grid[k][step] && IsMidiNote(notes[k])) {
        track.Event({kNoteOff, DataByte(notes[k]), 0});
      }
    }
    track.Wait(halfStep);
  }
  if (guiroHeld) track.Event({kNoteOff, DataByte(notes[kGuiro]), 0});
}

void WriteTrack(std::vector<std::uint8_t>& out, const RhythmView& rhythm, int first, int last,
                bool withMask, const char* name, InstrumentValues notes,
                InstrumentValues velocities) {
  out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
  const std::size_t start = out.size();
  TrackWriter track(out);
  if (withMask) WriteStepMask(track, rhythm);
  if (name) WriteTrackName(track, name);
  WriteNotes(track, rhythm, first, last, notes, velocities);
  track.Event({kMeta, kEndOfTrack, 0});
  const auto length = static_cast<std::uint32_t>(out.size() - start);
  for (int i = 0; i < 4; ++i)
    out[start - 4 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
}

}  // namespace

std::vector<std::uint8_t> ExportMidiBytes(const RhythmView& rhythm, InstrumentValues notes,
                                          InstrumentValues velocities, bool type1) {
  std::vector<std::uint8_t> out{'M', 'T', 'h', 'd'};
  PutBigEndian(out, 6, 4);
  PutBigEndian(out, type1 ? 1 : 0, 2);
  PutBigEndian(out, type1 ? kNumInstruments : 1, 2);
  PutBigEndian(out, kMidiFileDivision, 2);
  if (type1) {
    for (int k = 0; k < kNumInstruments; ++k) {
      WriteTrack(out, rhythm, k, k + 1, k == 0, kTrackNames[k], notes, velocities);
    }
  } else {
    WriteTrack(out, rhythm, 0, kNumInstruments, true, nullptr, notes, velocities);
  }
  return out;
}

bool ExportMidiFile(const std::filesystem::path& path, const RhythmView& rhythm,
                    InstrumentValues notes, InstrumentValues velocities, bool type1) {
  return WriteMidiFileBytes(path, ExportMidiBytes(rhythm, notes, velocities, type1));
}

bool WriteMidiFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  if (path.empty()) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  // A full disk often shows only when the buffer is flushed on close.
  file.close();
  return !file.fail();
}
