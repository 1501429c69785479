#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Instruments.h"
#include "engine/ParameterIndex.h"
#include "engine/RhythmBank.h"
#include "framework/ChunkBuffer.h"

// One program's sound as it travels in a state chunk: every parameter value, the twenty rhythm
// slots and the output routing. A payload is parsed completely into one of these before anything
// is applied, so a damaged chunk changes nothing.
struct EngineState {
  // What a payload says about the routing.
  enum class Routing : std::uint8_t {
    Keep,        // no routing block (older payloads) or a marker of 1..74
    ResetToSum,  // marker 0 or below: every voice to the sum only
    Read,        // the fifteen pairs below
  };

  std::array<double, kNumParams> params{};
  RhythmBank rhythms;
  Routing routing = Routing::Keep;
  std::array<std::uint8_t, kNumInstruments> toSum{};
  std::array<std::int32_t, kNumInstruments> extraOutput{};
};

// The sixteen characters that open a payload of this format, without a terminator.
inline constexpr char kStateVersionTag[] = "Rhythmoria_1.1.3";
inline constexpr int kStateVersionTagLength = 16;
// Routing markers at or above this carry the routing block.
inline constexpr std::int32_t kRoutingMarker = 75;
// Bytes of one rhythm slot in a payload: the triplet flag, then per step its active flag and the
// fifteen rows.
inline constexpr int kSlotPayloadBytes = 1 + kNumSteps * (1 + kNumInstruments);

inline constexpr int kRhythmBlockBytes = kNumRhythmSlots * kSlotPayloadBytes;

// Appends a payload. programIndex and programName describe the program current at writing time;
// readers skip them.
void WriteStatePayload(ChunkBuffer& chunk, std::int32_t programIndex, std::string_view programName,
                       const EngineState& state);
// The same, with the rhythm block given as the bytes a payload holds (kRhythmBlockBytes of them)
// instead of state.rhythms.
void WriteStatePayload(ChunkBuffer& chunk, std::int32_t programIndex, std::string_view programName,
                       const EngineState& state, const std::uint8_t* rhythmBlock);

// Parses a payload starting at position into state. Answers the position after the payload, or
// -1 when it is damaged or ends before its rhythm block is complete; a payload that ends after
// the rhythm block but before its routing block loads with the routing kept. Non-finite parameter
// values count as damage. The header's program index and name are not returned.
int ReadStatePayload(const ChunkBuffer& chunk, int position, EngineState& state);
// Parses like ReadStatePayload but leaves state.rhythms alone: *rhythmBlock receives the position
// of the payload's rhythm block, for a caller that only passes the bytes on.
int ScanStatePayload(const ChunkBuffer& chunk, int position, EngineState& state, int* rhythmBlock);
