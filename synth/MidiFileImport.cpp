#include <cstring>
#include <fstream>

#include "synth/MidiFile.h"

namespace {

constexpr std::uint8_t kStepMaskLength = 18;
constexpr std::uint8_t kEndOfSysEx = 0xF7;
constexpr std::uint8_t kEndOfTrack = 0x2F;

// Every read is checked against the end of the file; a file cannot make the reader look past it.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : mBytes(bytes) {}

  bool Byte(std::uint8_t& value) {
    if (mPosition >= mBytes.size()) return false;
    value = mBytes[mPosition++];
    return true;
  }
  bool Skip(std::uint64_t count) {
    if (count > mBytes.size() - mPosition) return false;
    mPosition += static_cast<std::size_t>(count);
    return true;
  }

 private:
  std::span<const std::uint8_t> mBytes;
  std::size_t mPosition = 0;
};

// At most four bytes are read, so an endless quantity cannot run on; one whose fourth byte still
// asks for more counts as 0.
bool ReadVarLen(ByteReader& in, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    std::uint8_t b = 0;
    if (!in.Byte(b)) return false;
    value = (value << 7) | (b & 0x7Fu);
    if (!(b & 0x80)) return true;
  }
  value = 0;
  return true;
}

bool ReadHeader(ByteReader& in, std::uint32_t& tracks, std::uint32_t& division) {
  std::uint8_t h[14];
  for (std::uint8_t& b : h) {
    if (!in.Byte(b)) return false;
  }
  auto be16 = [&](int at) { return static_cast<std::uint32_t>(h[at] << 8 | h[at + 1]); };
  const std::uint32_t format = be16(8);
  // A negative (SMPTE) division is taken as a large tick count: such files are rare and still
  // read without harm.
  tracks = be16(10);
  division = be16(12);
  return std::memcmp(h, "MThd", 4) == 0 && be16(4) == 0 && be16(6) == 6 && format <= 1 &&
         tracks != 0 && division != 0;
}

// The chunk length is not trusted: a track ends at its end-of-track event or after the last
// step, and the next one is found by its tag.
bool FindTrackChunk(ByteReader& in) {
  static constexpr std::uint8_t kTag[4] = {'M', 'T', 'r', 'k'};
  for (;;) {
    std::uint8_t b = 0;
    if (!in.Byte(b)) return false;
    if (b != kTag[0]) continue;
    int matched = 1;
    while (matched < 4) {
      if (!in.Byte(b)) return false;
      if (b != kTag[matched]) break;
      ++matched;
    }
    if (matched == 4) return in.Skip(4);
  }
}

class Importer {
 public:
  Importer(const RhythmSlotRef& slot, InstrumentValues notes, bool asTriplets,
           std::uint32_t division)
      : mSlot(slot), mNotes(notes), mTriplet(asTriplets), mDivision(division) {}

  bool ReadTrack(ByteReader& in);

 private:
  std::int64_t StepTicks() const { return mTriplet ? mDivision / 6 : mDivision / 8; }
  bool ReadSysEx(ByteReader& in);
  bool NoteOn(int note);
  bool NextActiveStep();

  RhythmSlotRef mSlot;
  InstrumentValues mNotes;
  bool mTriplet;
  std::int64_t mDivision;

  std::int64_t mStepTicks = 0;
  int mStep = 0;
  // Ticks since the last note-on; only note-ons consume time.
  std::int64_t mTime = 0;
  bool mGuiroHeld = false;
};

bool Importer::ReadTrack(ByteReader& in) {
  if (!FindTrackChunk(in)) return false;
  mStepTicks = StepTicks();
  mStep = 0;
  mTime = 0;
  mGuiroHeld = false;
  std::uint8_t runningStatus = 0;
  for (;;) {
    std::uint32_t delta = 0;
    if (!ReadVarLen(in, delta)) return false;
    mTime += delta;
    std::uint8_t status = 0;
    if (!in.Byte(status)) return false;

    std::uint8_t data[2] = {};
    int have = 0;
    if (status < 0x80) {
      // Other software leaves out repeated status bytes; without a status to repeat the stray
      // byte is passed over.
      if (runningStatus == 0) continue;
      data[have++] = status;
      status = runningStatus;
    }
    if (status < 0xF0) {
      // Controllers, program changes, aftertouch and pitch bend are read past by their length,
      // so their data is never taken for a delta or a status.
      runningStatus = status;
      const int length = (status & 0xE0) == 0xC0 ? 1 : 2;
      while (have < length) {
        if (!in.Byte(data[have++])) return false;
      }
      int kind = status & 0xF0;
      // Most sequencers end a note with a note-on of velocity 0, usually under running status.
      if (kind == 0x90 && data[1] == 0) kind = 0x80;
      if (kind == 0x80 && IsMidiNote(mNotes[kGuiro]) && data[0] == mNotes[kGuiro]) {
        mGuiroHeld = false;
      }
      if (kind == 0x90 && !NoteOn(data[0])) return true;
      continue;
    }

    // System Exclusive and meta events cancel running status: a data byte after them has no
    // status to repeat.
    runningStatus = 0;
    std::uint32_t length = 0;
    std::uint8_t type = 0;
    switch (status) {
      case 0xF0:
        if (!ReadSysEx(in)) return false;
        break;
      case 0xF7:  // a System Exclusive continuation or escape: length, then raw bytes
        if (!ReadVarLen(in, length) || !in.Skip(length)) return false;
        break;
      case 0xFF:
        if (!in.Byte(type)) return false;
        if (type == kEndOfTrack) return true;
        if (!ReadVarLen(in, length) || !in.Skip(length)) return false;
        break;
      default:  // not a file event; nothing of it is known beyond its byte
        break;
    }
  }
}

bool Importer::ReadSysEx(ByteReader& in) {
  std::uint8_t length = 0;
  if (!in.Byte(length)) return false;
  std::uint8_t b = 0;
  if (length != kStepMaskLength) {
    do {
      if (!in.Byte(b)) return false;
    } while (b != kEndOfSysEx);
    return true;
  }
  if (!in.Byte(b)) return false;
  if (b > 0) {
    mTriplet = true;
    mSlot.triplet = 1;
    mStepTicks = StepTicks();
  }
  // Triplet timing keeps its own step template, whatever the mask says.
  for (int m = 0; m < kNumSteps / 4; ++m) {
    if (!in.Byte(b)) return false;
    for (int bit = 0; bit < 4; ++bit) {
      const int step = 4 * m + bit;
      mSlot.active[step] = static_cast<std::uint8_t>(mTriplet ? step % 8 < 6 : (b >> bit) & 1);
    }
  }
  return in.Byte(b) && b == kEndOfSysEx;
}

bool Importer::NextActiveStep() {
  ++mStep;
  while (mStep < kNumSteps && !mSlot.active[mStep]) ++mStep;
  return mStep < kNumSteps;
}

// A note-on lands on the active step nearest to the previous note-on plus its distance, a tie
// moving forward. Answers false when it falls past the last step, which ends the track.
bool Importer::NoteOn(int note) {
  // The step count bounds the loop even when a tiny division makes a step zero ticks long.
  while (mTime >= mStepTicks / 2) {
    mTime -= mStepTicks;
    if (mGuiroHeld) mSlot.grid[kGuiro][mStep] = 1;
    if (!NextActiveStep()) break;
  }
  mTime = 0;
  if (mStep >= kNumSteps) return false;
  for (int k = 0; k < kNumInstruments; ++k) {
    if (mNotes[k] != note || !IsMidiNote(note)) continue;
    mSlot.grid[k][mStep] = 1;
    if (k == kGuiro) mGuiroHeld = true;
    break;
  }
  return true;
}

}  // namespace

bool ImportMidiBytes(std::span<const std::uint8_t> file, bool asTriplets, InstrumentValues notes,
                     const RhythmSlotRef& slot) {
  ByteReader in(file);
  std::uint32_t tracks = 0;
  std::uint32_t division = 0;
  if (!ReadHeader(in, tracks, division)) return false;

  slot.triplet = asTriplets ? 1 : 0;
  for (int step = 0; step < kNumSteps; ++step) {
    slot.active[step] = static_cast<std::uint8_t>(asTriplets ? step % 8 < 6 : 1);
  }
  std::memset(slot.grid, 0, sizeof slot.grid);

  // Each track takes at least its tag and length from the file, so a huge count soon runs out.
  Importer importer(slot, notes, asTriplets, division);
  for (std::uint32_t t = 0; t < tracks; ++t) {
    if (!importer.ReadTrack(in)) return false;
  }
  return true;
}

bool ReadMidiFileBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (path.empty()) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  char chunk[1 << 14];
  while (file) {
    file.read(chunk, sizeof chunk);
    const auto got = static_cast<std::size_t>(file.gcount());
    if (bytes.size() + got > kMaxMidiFileBytes) {
      bytes.clear();
      return false;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return !file.bad();
}

bool ImportMidiFile(const std::filesystem::path& path, bool asTriplets, InstrumentValues notes,
                    const RhythmSlotRef& slot) {
  std::vector<std::uint8_t> bytes;
  return ReadMidiFileBytes(path, bytes) && ImportMidiBytes(bytes, asTriplets, notes, slot);
}
