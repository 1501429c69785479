// The factory programs' definition: what it accepts, and that every slip in it stops the
// generator with the line at fault rather than producing a quietly different bank.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tools/FactoryDefinition.h"

namespace {

using factorybank::FactoryDefinition;
using factorybank::ParseFactoryDefinition;

const std::string kRest64(64, '-');
const std::string kRestOfPrograms = "programs 1-63 \"Init\"\n";

// A row starting with the given characters, padded with rests to 64.
std::string Row(const std::string& start) {
  return start.size() >= 64 ? start : start + std::string(64 - start.size(), '-');
}

// A slot block whose rows are all rests except the ones given.
std::string Slot(int slot, const std::string& triplet = "no",
                 const std::string& steps = std::string(64, 'O'), const std::string& base = "") {
  static const char* const kRows[] = {
      "Base",  "Snare 1", "Snare 2",  "Small Bongo", "Large Bongo", "Conga", "Cowbell", "Claves",
      "Hihat", "Rimshot", "Cymbal 1", "Cymbal 2",    "Tambourine",  "Guiro", "Quijada"};
  std::string text =
      "slot " + std::to_string(slot) + "\n  triplet " + triplet + "\n  steps " + steps + "\n";
  for (const char* row : kRows) {
    text +=
        std::string("  ") + row + " " + (row == std::string("Base") ? Row(base) : kRest64) + "\n";
  }
  return text;
}

struct Parsed {
  bool ok;
  std::string error;
  FactoryDefinition definition;
};

Parsed Parse(const std::string& text) {
  Parsed result;
  result.ok = ParseFactoryDefinition(text, &result.definition, &result.error);
  return result;
}

// Parses program 0 given as `body`, with programs 1..63 filled in.
Parsed ParseProgram0(const std::string& body) {
  return Parse("program 0 \"Test\"\n" + body + kRestOfPrograms);
}

void ExpectFailureAt(const std::string& body, int line, const std::string& words) {
  const Parsed parsed = ParseProgram0(body);
  EXPECT_FALSE(parsed.ok) << body;
  EXPECT_EQ(parsed.error.rfind("line " + std::to_string(line) + ":", 0), 0u) << parsed.error;
  EXPECT_NE(parsed.error.find(words), std::string::npos) << parsed.error;
}

TEST(FactoryDefinitionTest, ProgramsRangesNamesAndComments) {
  const Parsed parsed = Parse(
      "# a comment\n"
      "program 0 \"Classic 1\"\n"
      "   # an indented comment\n"
      "programs 1-62 \"Init\"\n"
      "program 63 \"Last: 5/4 & more\"\n");
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.definition.programs[0].name, "Classic 1");
  EXPECT_EQ(parsed.definition.programs[1].name, "Init");
  EXPECT_EQ(parsed.definition.programs[62].name, "Init");
  EXPECT_EQ(parsed.definition.programs[63].name, "Last: 5/4 & more");
  EXPECT_EQ(parsed.definition.programs[63].line, 5);

  EXPECT_FALSE(Parse("programs 0-62 \"Init\"\n").ok) << "program 63 missing";
  const Parsed twice = Parse("programs 0-63 \"Init\"\nprogram 5 \"Again\"\n");
  EXPECT_FALSE(twice.ok);
  EXPECT_NE(twice.error.find("defined twice"), std::string::npos) << twice.error;
  EXPECT_FALSE(Parse("program 0 Unquoted\n" + kRestOfPrograms).ok);
  EXPECT_FALSE(Parse("programs 5-3 \"X\"\n").ok);
  EXPECT_FALSE(Parse("Tempo = 100\nprograms 0-63 \"Init\"\n").ok) << "a setting before any program";
}

TEST(FactoryDefinitionTest, ParametersByNameSwitchWordsAndNoteNames) {
  const Parsed parsed = ParseProgram0(
      "Tempo = 118.6722\n"
      "Rhythm 10 = on\n"
      "Rhythm Row = below\n"
      "Power = off\n"
      "Note Base = 35\n"
      "Small Bongo Frequency = A4\n"
      "Large Bongo Frequency = C4\n"
      "Claves Frequency = F#5\n"
      "Conga Frequency 1 = Bb2\n"
      "Guiro = 0.25\n"
      "Tempo = 100\n");
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const auto& settings = parsed.definition.programs[0].parameters;
  ASSERT_EQ(settings.size(), 11u);
  EXPECT_EQ(settings[0].index, kTempo);
  EXPECT_EQ(settings[0].value, 118.6722);
  EXPECT_EQ(settings[1].index, kRhythm1 + 9);
  EXPECT_EQ(settings[1].value, 1.0);
  EXPECT_EQ(settings[2].index, kRhythmRow);
  EXPECT_EQ(settings[2].value, 0.0);
  EXPECT_EQ(settings[4].index, kNoteFirst);
  EXPECT_EQ(settings[4].value, 35.0);
  EXPECT_DOUBLE_EQ(settings[5].value, 440.0);
  EXPECT_NEAR(settings[6].value, 261.6256, 1e-4);
  EXPECT_NEAR(settings[7].value, 739.9888, 1e-4);
  EXPECT_NEAR(settings[8].value, 116.5409, 1e-4);
  EXPECT_EQ(settings[9].index, kGuiroBalance) << "outside a slot, Guiro is the balance parameter";
  EXPECT_EQ(settings[10].value, 100.0) << "later settings are kept in order";

  double hz = 0.0;
  EXPECT_TRUE(factorybank::NoteFrequency("C-1", &hz));
  EXPECT_NEAR(hz, 8.1758, 1e-4);
  EXPECT_FALSE(factorybank::NoteFrequency("H4", &hz));
  EXPECT_FALSE(factorybank::NoteFrequency("A4x", &hz));
}

TEST(FactoryDefinitionTest, WrongParametersAndValuesNameTheirLine) {
  ExpectFailureAt("Tempo = 100\nTempi = 100\n", 3, "unknown parameter");
  ExpectFailureAt("reserved = 0\n", 2, "unknown parameter");
  ExpectFailureAt("Tempo = 241\n", 2, "outside its range");
  ExpectFailureAt("Note Base = 36.5\n", 2, "whole numbers");
  ExpectFailureAt("Rhythm 1 = yes\n", 2, "no value");
  ExpectFailureAt("Tempo = 1,5\n", 2, "no value");
  ExpectFailureAt("Hihat Decay = A4\n", 2, "no value");  // note names only for frequencies
  ExpectFailureAt("Base Frequency = C10\n", 2, "outside its range");
}

TEST(FactoryDefinitionTest, SlotsAreWrittenInFullAndChecked) {
  std::string steps7of8;
  for (int s = 0; s < 64; ++s) steps7of8 += s % 32 < 28 ? 'O' : '-';
  const Parsed parsed = ParseProgram0(Slot(3, "yes", steps7of8, "O---O") + Slot(19));
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const auto& slots = parsed.definition.programs[0].slots;
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[0].slot, 3);
  EXPECT_EQ(slots[0].triplet, 1);
  EXPECT_EQ(factorybank::FormatRow(slots[0].active.data()), steps7of8);
  EXPECT_EQ(factorybank::FormatRow(slots[0].grid[kBase].data()), Row("O---O"));
  EXPECT_EQ(factorybank::FormatRow(slots[0].grid[kQuijada].data()), kRest64);
  EXPECT_EQ(slots[1].slot, 19);
  EXPECT_EQ(slots[1].triplet, 0);

  ExpectFailureAt("slot 20\n", 2, "0..19");
  ExpectFailureAt(Slot(1) + Slot(1), 20, "given twice");
  ExpectFailureAt(Slot(0, "maybe"), 3, "triplet yes|no");
  std::string step0Skipped(64, 'O');
  step0Skipped[0] = '-';
  ExpectFailureAt(Slot(0, "no", step0Skipped), 4, "step 0 is always active");
  ExpectFailureAt(Slot(0, "no", std::string(63, 'O')), 4, "64 characters");
  ExpectFailureAt(Slot(0, "no", std::string(64, 'O'), std::string(65, 'O')), 5, "Base");

  // Rows come in instrument order: swapping two is caught.
  std::string swapped = Slot(0);
  const auto snare1 = swapped.find("  Snare 1");
  const auto snare2 = swapped.find("  Snare 2");
  swapped.replace(snare1, 9, "  Snare 2");
  swapped.replace(snare2, 9, "  Snare 1");
  ExpectFailureAt(swapped, 6, "Snare 1");

  // A slot cut short before the next program.
  const std::string cut = Slot(0).substr(0, Slot(0).find("  Guiro"));
  const Parsed shortSlot = ParseProgram0(cut);
  EXPECT_FALSE(shortSlot.ok);
}

TEST(FactoryDefinitionTest, RoutingAndRangesShareTheirContent) {
  const Parsed parsed = Parse(
      "program 0 \"A\"\n"
      "route Base = 3\n"
      "route Hihat = sum + 7\n"
      "route Quijada = sum\n"
      "programs 1-63 \"B\"\n"
      "Level Hihat = 0.5\n" +
      Slot(2));
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const auto& routing = parsed.definition.programs[0].routing;
  ASSERT_EQ(routing.size(), 3u);
  EXPECT_EQ(routing[0].voice, kBase);
  EXPECT_FALSE(routing[0].toSum);
  EXPECT_EQ(routing[0].extraOutput, 3);
  EXPECT_EQ(routing[1].voice, kHihat);
  EXPECT_TRUE(routing[1].toSum);
  EXPECT_EQ(routing[1].extraOutput, 7);
  EXPECT_TRUE(routing[2].toSum);
  EXPECT_EQ(routing[2].extraOutput, 0);
  for (int p : {1, 40, 63}) {
    ASSERT_EQ(parsed.definition.programs[p].parameters.size(), 1u);
    ASSERT_EQ(parsed.definition.programs[p].slots.size(), 1u);
    EXPECT_EQ(parsed.definition.programs[p].slots[0].slot, 2);
  }

  ExpectFailureAt("route Bass = sum\n", 2, "unknown instrument");
  ExpectFailureAt("route Base = 8\n", 2, "1..7");
  ExpectFailureAt("route Base sum\n", 2, "expected route");
}

}  // namespace
