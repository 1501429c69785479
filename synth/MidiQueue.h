#pragma once

#include <cstddef>
#include <vector>

#include "framework/IPlugStructs.h"

// Time-stamped MIDI input, kept sorted by offset (a message goes after every message whose offset
// is less than or equal to its own), drained in one-millisecond sub-blocks. Its storage is sized
// outside the audio thread; a message that arrives when it is full is dropped, so the audio
// thread never allocates.
class MidiInputQueue {
 public:
  static constexpr std::size_t kMinCapacity = 1024;

  explicit MidiInputQueue(std::size_t capacity = kMinCapacity) { Reserve(capacity); }

  // Grows the storage to at least capacity messages; never shrinks. Not for the audio thread.
  void Reserve(std::size_t capacity);
  // Sorted insert; false when the queue is full and the message was dropped.
  bool Add(const IMidiMessage& msg);

  bool HasUnread() const { return mRead < mCount; }
  const IMidiMessage& NextUnread() const { return mMessages[mRead]; }
  void MarkRead() { ++mRead; }
  // Removes what was read and moves the clock of the rest back by one sub-block.
  void DropReadAndShift(int samples);
  void Clear() { mCount = mRead = 0; }

  std::size_t Size() const { return mCount - mRead; }
  std::size_t Capacity() const { return mMessages.size(); }
  const IMidiMessage& operator[](std::size_t i) const { return mMessages[mRead + i]; }

 private:
  std::vector<IMidiMessage> mMessages;
  std::size_t mCount = 0;
  std::size_t mRead = 0;
};

// First-in first-out list of note messages waiting for their sample inside the sub-block.
class MidiEventFifo {
 public:
  explicit MidiEventFifo(std::size_t capacity = MidiInputQueue::kMinCapacity) { Reserve(capacity); }

  void Reserve(std::size_t capacity);
  // False when full and the message was dropped.
  bool Push(const IMidiMessage& msg);
  bool Empty() const { return mSize == 0; }
  const IMidiMessage& Front() const { return mMessages[mHead]; }
  void Pop();
  void Clear() { mHead = mSize = 0; }
  std::size_t Size() const { return mSize; }

 private:
  std::vector<IMidiMessage> mMessages;
  std::size_t mHead = 0;
  std::size_t mSize = 0;
};
