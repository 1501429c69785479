#pragma once

#include <array>
#include <cstdint>

// Notes currently held by MIDI input or the editor's keys, with their velocities, in note order.
// A fixed table rather than a node-based map: it is written on the audio thread.
class HeldNotes {
 public:
  static constexpr int kNumNotes = 256;

  // A velocity of 0 or less removes the note.
  void Set(int note, int velocity) {
    if (note < 0 || note >= kNumNotes) return;
    mVelocity[static_cast<std::size_t>(note)] = velocity > 0 ? velocity : 0;
  }
  void Clear(int note) { Set(note, 0); }
  void ClearAll() { mVelocity.fill(0); }
  bool IsHeld(int note) const { return Velocity(note) > 0; }
  int Velocity(int note) const {
    if (note < 0 || note >= kNumNotes) return 0;
    return mVelocity[static_cast<std::size_t>(note)];
  }
  int Count() const {
    int n = 0;
    for (int v : mVelocity) n += v > 0;
    return n;
  }

 private:
  std::array<std::int32_t, kNumNotes> mVelocity{};
};
