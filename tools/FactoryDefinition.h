#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Instruments.h"
#include "engine/ParameterIndex.h"
#include "engine/RhythmBank.h"

// The factory programs as written in tools/factory-bank/programs.txt (the file documents its own
// format): names, parameter values by name, rewritten rhythm slots and output routing. Parsing
// checks everything a typing slip could break (unknown names, values outside a parameter's range,
// short or malformed rows, programs missing or given twice), so a bad definition stops the
// generator with a line number instead of producing a quietly different bank.
namespace factorybank {

inline constexpr int kNumPrograms = 64;

struct ParameterSetting {
  int index = 0;
  double value = 0.0;
};

// One rhythm slot written out in full.
struct SlotDefinition {
  int slot = 0;
  std::uint8_t triplet = 0;
  std::array<std::uint8_t, kNumSteps> active{};
  std::array<std::array<std::uint8_t, kNumSteps>, kNumInstruments> grid{};
};

struct RoutingDefinition {
  int voice = 0;
  bool toSum = true;
  int extraOutput = 0;
};

struct ProgramDefinition {
  std::string name;
  // In the order written; a parameter named twice keeps its last value.
  std::vector<ParameterSetting> parameters;
  std::vector<SlotDefinition> slots;
  std::vector<RoutingDefinition> routing;
  // Line of the "program" header, for messages.
  int line = 0;
};

struct FactoryDefinition {
  std::array<ProgramDefinition, kNumPrograms> programs;
};

// Parses a whole definition. On failure answers false and sets *error to "line N: what is wrong".
bool ParseFactoryDefinition(std::string_view text, FactoryDefinition* definition,
                            std::string* error);

// Index of the parameter with exactly this name, or -1. Names are those hosts show ("Tempo",
// "Level Hihat", "Rhythm Row"); the sixteen "reserved" placeholders cannot be named.
int FindParameter(std::string_view name);

// Frequency in Hz of a note name in scientific pitch notation: a letter A..G, any number of '#'
// or 'b', and an octave number (C4 is middle C, A4 = 440 Hz, equal temperament). False when the
// text is no note name.
bool NoteFrequency(std::string_view text, double* hz);

// The 64-character row notation: 'O' for a hit or an active step, '-' for none.
bool ParseRow(std::string_view text, std::array<std::uint8_t, kNumSteps>* row);
std::string FormatRow(const std::uint8_t* row);

}  // namespace factorybank
