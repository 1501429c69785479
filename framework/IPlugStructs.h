#pragma once

#include <cstdint>

struct IMidiMessage {
  std::int32_t mOffset = 0;  // sample offset within the current block
  std::uint8_t mStatus = 0;
  std::uint8_t mData1 = 0;
  std::uint8_t mData2 = 0;

  IMidiMessage() = default;
  IMidiMessage(std::int32_t offset, std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
      : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}
  int StatusNibble() const { return mStatus >> 4; }
};

struct ISysExMessage {
  std::int32_t mOffset = 0;
  std::int32_t mSize = 0;
  const std::uint8_t* mData = nullptr;  // owned by the caller
};

// The host fills only the fields it knows; the caller's defaults stay in the others.
struct ITransportInfo {
  double mTempo = 120.0;
  double mSamplePos = 0.0;
  double mPPQPos = 0.0;
  double mLastBar = 0.0;
  double mCycleStart = 0.0;
  double mCycleEnd = 0.0;
  std::int32_t mNumerator = 4;
  std::int32_t mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};
