#include "engine/EngineState.h"

#include <array>
#include <cmath>
#include <cstring>

void WriteStatePayload(ChunkBuffer& chunk, std::int32_t programIndex, std::string_view programName,
                       const EngineState& state) {
  chunk.PutRaw(kStateVersionTag, kStateVersionTagLength);
  chunk.PutBytes(programIndex);
  chunk.PutString(programName);
  for (double value : state.params) chunk.PutBytes(value);
  // Step-major: for each step its active flag and then the fifteen rows. Laid out here and
  // appended in one piece: programs are written by the dozen when a bank loads.
  std::array<std::uint8_t, kNumRhythmSlots * kSlotPayloadBytes> block;
  std::uint8_t* p = block.data();
  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    *p++ = state.rhythms.triplet[slot];
    for (int step = 0; step < kNumSteps; ++step) {
      *p++ = state.rhythms.active[slot][step];
      for (int row = 0; row < kNumInstruments; ++row) *p++ = state.rhythms.grid[slot][row][step];
    }
  }
  chunk.PutRaw(block.data(), block.size());
  chunk.PutBytes(kRoutingMarker);
  for (int k = 0; k < kNumInstruments; ++k) {
    chunk.PutBytes(state.toSum[static_cast<std::size_t>(k)]);
    chunk.PutBytes(state.extraOutput[static_cast<std::size_t>(k)]);
  }
}

namespace {

bool IsTagged(const ChunkBuffer& chunk, int position) {
  return chunk.Available(position, kStateVersionTagLength) &&
         std::memcmp(chunk.Data() + position, kStateVersionTag, kStateVersionTagLength) == 0;
}

int ReadRhythms(const ChunkBuffer& chunk, int position, RhythmBank& rhythms) {
  if (!chunk.Available(position, static_cast<std::size_t>(kNumRhythmSlots) * kSlotPayloadBytes)) {
    return -1;
  }
  const std::uint8_t* p = chunk.Data() + position;
  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    rhythms.triplet[slot] = *p++;
    for (int step = 0; step < kNumSteps; ++step) {
      rhythms.active[slot][step] = *p++;
      for (int row = 0; row < kNumInstruments; ++row) rhythms.grid[slot][row][step] = *p++;
    }
  }
  return position + kNumRhythmSlots * kSlotPayloadBytes;
}

}  // namespace

int ReadStatePayload(const ChunkBuffer& chunk, int position, EngineState& state) {
  if (position < 0) return -1;
  const bool tagged = IsTagged(chunk, position);
  if (tagged) {
    std::int32_t nameLength = 0;
    position = chunk.GetBytes(&nameLength, position + kStateVersionTagLength + 4);
    // A negative length would move the reader backwards; a length beyond the data ends it.
    if (position < 0 || nameLength < 0 ||
        !chunk.Available(position, static_cast<std::size_t>(nameLength))) {
      return -1;
    }
    position += nameLength;
  }
  for (double& value : state.params) {
    position = chunk.GetBytes(&value, position);
    if (position < 0 || !std::isfinite(value)) return -1;
  }
  if (!tagged) {
    // Older payloads carry four unused bytes between the values and the rhythms.
    if (!chunk.Available(position, 4)) return -1;
    position += 4;
  }
  position = ReadRhythms(chunk, position, state.rhythms);
  if (position < 0) return -1;

  state.routing = EngineState::Routing::Keep;
  std::int32_t marker = 0;
  const int afterMarker = chunk.GetBytes(&marker, position);
  if (afterMarker < 0) return position;  // a payload from before the routing existed
  position = afterMarker;
  if (marker <= 0) {
    state.routing = EngineState::Routing::ResetToSum;
    return position;
  }
  if (marker < kRoutingMarker) return position;
  int p = position;
  for (int k = 0; k < kNumInstruments && p >= 0; ++k) {
    p = chunk.GetBytes(&state.toSum[static_cast<std::size_t>(k)], p);
    if (p >= 0) p = chunk.GetBytes(&state.extraOutput[static_cast<std::size_t>(k)], p);
  }
  // A routing block cut short is left unapplied; the sound itself loaded.
  if (p < 0) return position;
  state.routing = EngineState::Routing::Read;
  return p;
}
