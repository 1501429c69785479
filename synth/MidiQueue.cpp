#include "synth/MidiQueue.h"

#include <algorithm>

void MidiInputQueue::Reserve(std::size_t capacity) {
  if (capacity <= mMessages.size()) return;
  // Keep unread messages at the front so the new storage starts compact.
  std::vector<IMidiMessage> grown(capacity);
  std::copy(mMessages.begin() + static_cast<std::ptrdiff_t>(mRead),
            mMessages.begin() + static_cast<std::ptrdiff_t>(mCount), grown.begin());
  mCount -= mRead;
  mRead = 0;
  mMessages.swap(grown);
}

bool MidiInputQueue::Add(const IMidiMessage& msg) {
  if (mCount == mMessages.size()) {
    if (mRead == 0) return false;
    DropReadAndShift(0);
  }
  std::size_t at = mCount;
  while (at > mRead && mMessages[at - 1].mOffset > msg.mOffset) {
    mMessages[at] = mMessages[at - 1];
    --at;
  }
  mMessages[at] = msg;
  ++mCount;
  return true;
}

void MidiInputQueue::DropReadAndShift(int samples) {
  const std::size_t left = mCount - mRead;
  std::copy(mMessages.begin() + static_cast<std::ptrdiff_t>(mRead),
            mMessages.begin() + static_cast<std::ptrdiff_t>(mCount), mMessages.begin());
  mRead = 0;
  mCount = left;
  if (samples == 0) return;
  for (std::size_t i = 0; i < mCount; ++i) mMessages[i].mOffset -= samples;
}

void MidiEventFifo::Reserve(std::size_t capacity) {
  if (capacity <= mMessages.size()) return;
  std::vector<IMidiMessage> grown(capacity);
  for (std::size_t i = 0; i < mSize; ++i) grown[i] = mMessages[(mHead + i) % mMessages.size()];
  mHead = 0;
  mMessages.swap(grown);
}

bool MidiEventFifo::Push(const IMidiMessage& msg) {
  if (mSize == mMessages.size()) return false;
  mMessages[(mHead + mSize) % mMessages.size()] = msg;
  ++mSize;
  return true;
}

void MidiEventFifo::Pop() {
  if (mSize == 0) return;
  mHead = (mHead + 1) % mMessages.size();
  --mSize;
}
