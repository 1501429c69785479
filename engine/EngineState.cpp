#include "engine/EngineState.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "framework/IProgramSlot.h"

void WriteStatePayload(ChunkBuffer& chunk, std::int32_t programIndex, std::string_view programName,
                       const EngineState& state) {
  // Step-major: for each step its active flag and then the fifteen rows.
  std::array<std::uint8_t, kRhythmBlockBytes> block;
  std::uint8_t* p = block.data();
  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    *p++ = state.rhythms.triplet[slot];
    for (int step = 0; step < kNumSteps; ++step) {
      *p++ = state.rhythms.active[slot][step];
      for (int row = 0; row < kNumInstruments; ++row) *p++ = state.rhythms.grid[slot][row][step];
    }
  }
  WriteStatePayload(chunk, programIndex, programName, state, block.data());
}

void WriteStatePayload(ChunkBuffer& chunk, std::int32_t programIndex, std::string_view programName,
                       const EngineState& state, const std::uint8_t* rhythmBlock) {
  // Sized once and written in a few pieces: programs are written by the dozen when a bank loads.
  // The room is for the longest program name, so a slot written again later (a MIDI program
  // change into it, on the audio thread) never needs more.
  constexpr std::size_t kRoutingBytes = kNumInstruments * (1 + sizeof(std::int32_t));
  const std::size_t total = kStateVersionTagLength + 2 * sizeof(std::int32_t) +
                            std::max(programName.size(), IProgramSlot::kMaxNameLength) +
                            sizeof(state.params) + kRhythmBlockBytes + sizeof(kRoutingMarker) +
                            kRoutingBytes;
  chunk.Reserve(chunk.Size() + static_cast<int>(total));
  chunk.PutRaw(kStateVersionTag, kStateVersionTagLength);
  chunk.PutBytes(programIndex);
  chunk.PutString(programName);
  chunk.PutRaw(state.params.data(), sizeof(state.params));
  chunk.PutRaw(rhythmBlock, kRhythmBlockBytes);
  chunk.PutBytes(kRoutingMarker);
  std::array<std::uint8_t, kRoutingBytes> routing;
  std::uint8_t* p = routing.data();
  for (int k = 0; k < kNumInstruments; ++k) {
    *p++ = state.toSum[static_cast<std::size_t>(k)];
    std::memcpy(p, &state.extraOutput[static_cast<std::size_t>(k)], sizeof(std::int32_t));
    p += sizeof(std::int32_t);
  }
  chunk.PutRaw(routing.data(), routing.size());
}

namespace {

bool IsTagged(const ChunkBuffer& chunk, int position) {
  return chunk.Available(position, kStateVersionTagLength) &&
         std::memcmp(chunk.Data() + position, kStateVersionTag, kStateVersionTagLength) == 0;
}

void DecodeRhythms(const std::uint8_t* p, RhythmBank& rhythms) {
  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    rhythms.triplet[slot] = *p++;
    for (int step = 0; step < kNumSteps; ++step) {
      rhythms.active[slot][step] = *p++;
      for (int row = 0; row < kNumInstruments; ++row) rhythms.grid[slot][row][step] = *p++;
    }
  }
}

}  // namespace

int ReadStatePayload(const ChunkBuffer& chunk, int position, EngineState& state) {
  int rhythmBlock = 0;
  position = ScanStatePayload(chunk, position, state, &rhythmBlock);
  if (position >= 0) DecodeRhythms(chunk.Data() + rhythmBlock, state.rhythms);
  return position;
}

int ScanStatePayload(const ChunkBuffer& chunk, int position, EngineState& state, int* rhythmBlock) {
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
  if (!chunk.Available(position, kRhythmBlockBytes)) return -1;
  *rhythmBlock = position;
  position += kRhythmBlockBytes;

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
