// The committed factory bank against its definition and against what the plug-in promises of it:
// the bytes regenerate exactly, the layout holds, the programs load to the right names, rhythms
// and front panels, and none of them clips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/FactoryRhythms.h"
#include "framework/PresetFiles.h"
#include "resources/EmbeddedResources.h"
#include "tests/support/FakeHost.h"
#include "tools/FactoryBankBuilder.h"
#include "tools/FactoryDefinition.h"

namespace {

using factorybank::FactoryDefinition;
using testing_support::FakeHost;

constexpr int kPrograms = 64;
constexpr char kVersionTag[] = "Rhythmoria_1.1.3";
constexpr char kHeaderName[] = "Classic 1";
// A payload whose header carries a nine-character name.
constexpr std::size_t kPayloadSize = 21780;
constexpr std::size_t kRoutingMarkerOffset = 21692 + 9;
constexpr std::int32_t kRoutingMarker = 75;

const char* const kProgramNames[kPrograms] = {
    "Classic 1", "Classic 2", "7/8 Beat", "5/4 Beat", "Klimper Klonk", "Melodic Kit", "SFX Kit 1",
    "SFX Kit 2", "Velmor: E-Beats", "Velmor: Simple Electro 1", "Velmor: Simple Electro 2",
    "Velmor: SOS", "Velmor: Atmen", "Velmor: Langsamer Fluss", "Velmor: Radio Aktiv",
    "Velmor: Alien-Transport", "Waltz", "Samba", "Mambo", "Rumba", "Tango", "Bossanova", "Rock 1",
    "Rock 3", "March 2/4", "Swing", "Jazz Waltz", "Meringue", "Cha-Cha", "Beguine", "Habanera",
    "Slow Rock", "Rock 2", "Rock 4", "March 6/8", "Latin Swing",
    // 36..63
    "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init",
    "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init", "Init",
    "Init", "Init", "Init", "Init"};

struct FrontPanel {
  double volume;
  double tempo;
  bool tempoSync;
  std::set<int> buttons;  // 1..10
  bool rowAbove;
  std::set<int> rewrittenSlots;
};

const FrontPanel kFrontPanels[16] = {
    {1, 120, false, {4, 6, 7}, true, {}},
    {1, 120, false, {4, 6, 8}, false, {}},
    {1, 120, false, {1}, true, {0}},
    {1, 120, false, {1}, true, {0}},
    {1, 120, false, {10}, true, {9}},
    {1, 120, false, {1}, true, {0, 1}},
    {1, 120, false, {1}, true, {0, 1}},
    {1, 120, false, {1}, true, {0, 1}},
    {2.007, 120, false, {1}, true, {0, 1}},
    {1.669, 118.6722, true, {10}, false, {19}},
    {1.393, 118.6722, false, {10}, false, {19}},
    {0.2545, 174.7453, false, {1, 4, 8, 10}, true, {}},
    {0.3387, 92.1394, false, {2, 4, 5, 7, 10}, true, {}},
    {0.6456, 118.6594, true, {7, 8}, false, {}},
    {0.6696, 120.5, true, {2, 3, 4, 5, 6, 7, 8, 10}, true, {}},
    {0.3036, 193.6917, false, {2, 6, 7, 8, 9, 10}, true, {}},
};

std::string ReadText(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::uint32_t BE32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return presetfile::ReadBE32(bytes.data() + offset);
}

template <typename T>
T Native(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

bool IsNote(double hz) {
  const double semitones = 12.0 * std::log2(hz / 440.0);
  return std::fabs(semitones - std::round(semitones)) < 0.01;  // one cent
}

class FactoryBankTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(presetfile::ReadWholeFile(RHYTHMORIA_FACTORY_BANK, &bytes));
    committed = new std::vector<std::uint8_t>(std::move(bytes));
    definition = new FactoryDefinition;
    std::string error;
    ASSERT_TRUE(factorybank::ParseFactoryDefinition(ReadText(RHYTHMORIA_FACTORY_DEFINITION),
                                                    definition, &error))
        << error;
  }
  static void TearDownTestSuite() {
    delete committed;
    delete definition;
  }

  void Load(FakeHost& plug) const {
    ASSERT_TRUE(plug.LoadBankFromMemory(committed->data(), committed->size()));
  }

  // Selects a program of the bank in a fresh engine.
  void Select(FakeHost& plug, int program) const {
    Load(plug);
    ASSERT_TRUE(plug.RestoreProgram(program));
  }

  static std::vector<std::uint8_t>* committed;
  static FactoryDefinition* definition;
};

std::vector<std::uint8_t>* FactoryBankTest::committed = nullptr;
FactoryDefinition* FactoryBankTest::definition = nullptr;

TEST_F(FactoryBankTest, RegeneratingFromTheDefinitionGivesTheCommittedAndEmbeddedBytes) {
  ChunkBuffer built;
  std::string error;
  ASSERT_TRUE(factorybank::BuildFactoryBank(*definition, &built, &error)) << error;
  ASSERT_EQ(static_cast<std::size_t>(built.Size()), committed->size())
      << "regenerate resources/factory-bank.fxb with make_factory_bank";
  EXPECT_TRUE(std::equal(committed->begin(), committed->end(), built.Data()))
      << "regenerate resources/factory-bank.fxb with make_factory_bank";

  const EmbeddedResource bank = FindEmbeddedResource("PROGINIT", "PROGDATA");
  ASSERT_NE(bank.data, nullptr);
  ASSERT_EQ(bank.size, committed->size());
  EXPECT_TRUE(std::equal(committed->begin(), committed->end(), bank.data));
  for (const auto& [name, type] : {std::pair<const char*, const char*>{"PROGINIT", "PNG"},
                                   {"PROGDATA", "PROGINIT"},
                                   {"proginit", "progdata"},
                                   {"", ""},
                                   {nullptr, "PROGDATA"},
                                   {"PROGINIT", nullptr}}) {
    const EmbeddedResource none = FindEmbeddedResource(name, type);
    EXPECT_EQ(none.data, nullptr);
    EXPECT_EQ(none.size, 0u);
  }
}

TEST_F(FactoryBankTest, HeaderAndEveryPayloadFollowTheBankLayout) {
  const std::vector<std::uint8_t>& b = *committed;
  ASSERT_GT(b.size(), presetfile::kBankHeaderSize);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "CcnK");
  EXPECT_EQ(BE32(b, 4), b.size()) << "byte size is the whole file";
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 12), "FBCh");
  EXPECT_EQ(BE32(b, 12), 2u);
  EXPECT_EQ(std::string(b.begin() + 16, b.begin() + 20), "krx7");
  EXPECT_EQ(BE32(b, 20), 10103u);
  EXPECT_EQ(BE32(b, 24), 64u);
  EXPECT_EQ(BE32(b, 28), 0u) << "current program";
  EXPECT_TRUE(std::all_of(b.begin() + 32, b.begin() + 156, [](std::uint8_t x) { return x == 0; }));
  EXPECT_EQ(BE32(b, 156), b.size() - 160);
  EXPECT_EQ(std::string(b.begin() + 160, b.begin() + 164), "tffp");
  EXPECT_EQ(Native<std::int32_t>(b, 164), 0x00010000);

  // Slot by slot: name, flag 1, then a payload whose header names program 0, "Classic 1", and
  // which routes every voice to the sum only.
  std::size_t at = 168;
  for (int p = 0; p < kPrograms; ++p) {
    SCOPED_TRACE(p);
    ASSERT_LE(at + 5, b.size());
    const auto nameLength = static_cast<std::size_t>(Native<std::int32_t>(b, at));
    ASSERT_LE(at + 5 + nameLength, b.size());
    EXPECT_EQ(std::string(b.begin() + at + 4, b.begin() + at + 4 + nameLength), kProgramNames[p]);
    at += 4 + nameLength;
    ASSERT_EQ(b[at], 1) << "every program is initialised";
    at += 1;
    ASSERT_LE(at + kPayloadSize, b.size());
    EXPECT_EQ(std::string(b.begin() + at, b.begin() + at + 16), kVersionTag);
    EXPECT_EQ(Native<std::int32_t>(b, at + 16), 0);
    EXPECT_EQ(Native<std::int32_t>(b, at + 20), 9);
    EXPECT_EQ(std::string(b.begin() + at + 24, b.begin() + at + 33), kHeaderName);
    for (int i = kReservedFirst; i < kNumParams; ++i) {
      EXPECT_EQ(Native<double>(b, at + 33 + 8 * static_cast<std::size_t>(i)), 0.0);
    }
    EXPECT_EQ(Native<std::int32_t>(b, at + kRoutingMarkerOffset), kRoutingMarker);
    for (std::size_t k = 0; k < kNumInstruments; ++k) {
      const std::size_t route = at + kRoutingMarkerOffset + 4 + 5 * k;
      EXPECT_EQ(b[route], 1) << "voice " << k << " to the sum";
      EXPECT_EQ(Native<std::int32_t>(b, route + 1), 0) << "voice " << k << " on no extra output";
    }
    at += kPayloadSize;
  }
  EXPECT_EQ(at, b.size()) << "nothing follows the last program";
}

TEST_F(FactoryBankTest, LoadsToTheNamesOfTheTableAndSavesBackUnchanged) {
  FakeHost plug;
  Load(plug);
  for (int p = 0; p < kPrograms; ++p) EXPECT_STREQ(plug.GetProgramName(p), kProgramNames[p]) << p;
  EXPECT_EQ(plug.GetCurrentProgram(), 0);

  // The plug-in saving the bank it has just loaded writes the same programs; only the version
  // field says which release wrote it.
  ChunkBuffer saved;
  ASSERT_TRUE(plug.WriteBankToMemory(saved));
  ASSERT_EQ(static_cast<std::size_t>(saved.Size()), committed->size());
  std::vector<std::uint8_t> resaved(saved.Data(), saved.Data() + saved.Size());
  EXPECT_EQ(BE32(resaved, 20), static_cast<std::uint32_t>(plug.GetEffectVersion(true)));
  std::copy(committed->begin() + 20, committed->begin() + 24, resaved.begin() + 20);
  EXPECT_TRUE(resaved == *committed);
}

TEST_F(FactoryBankTest, RhythmProgramsPlayTheirFactoryRhythmAlone) {
  const FactoryRhythms& factory = FactoryRhythms::Get();
  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    SCOPED_TRACE(kProgramNames[16 + slot]);
    FakeHost plug;
    Select(plug, 16 + slot);
    for (int i = 0; i < kReservedFirst; ++i) {
      const IParameter& param = *plug.GetParam(i);
      double expected = param.Default();
      if (i == kRhythm1 + slot % 10) expected = 1.0;
      if (i == kRhythmRow) expected = slot < 10 ? 1.0 : 0.0;
      EXPECT_EQ(param.Value(), expected) << param.Name();
    }
    for (int s = 0; s < kNumRhythmSlots; ++s) {
      EXPECT_FALSE(plug.IsRhythmModified(s)) << s;
      EXPECT_EQ(plug.IsSlotSelected(s), s == slot) << s;
    }
    const CombinedRhythm& combined = plug.GetCombinedRhythm();
    EXPECT_EQ(combined.triplet, factory.triplet[slot]);
    EXPECT_TRUE(std::equal(std::begin(factory.active[slot]), std::end(factory.active[slot]),
                           std::begin(combined.active)));
    for (int row = 0; row < kNumInstruments; ++row) {
      EXPECT_TRUE(std::equal(std::begin(factory.grid[slot][row]), std::end(factory.grid[slot][row]),
                             std::begin(combined.grid[row])))
          << "row " << row;
    }
  }
}

TEST_F(FactoryBankTest, InitProgramsAreTheDefaultProgram) {
  for (int p = 36; p < kPrograms; ++p) {
    SCOPED_TRACE(p);
    FakeHost plug;
    Select(plug, p);
    for (int i = 0; i < kNumParams; ++i) {
      EXPECT_EQ(plug.GetParam(i)->Value(), plug.GetParam(i)->Default()) << i;
    }
    EXPECT_FALSE(plug.AnySelected());
    for (int s = 0; s < kNumRhythmSlots; ++s) EXPECT_FALSE(plug.IsRhythmModified(s)) << s;
    for (int k = 0; k < kNumInstruments; ++k) {
      EXPECT_TRUE(plug.ToSum(k));
      EXPECT_EQ(plug.ExtraOutput(k), 0);
    }
  }
}

TEST_F(FactoryBankTest, DesignedProgramsFollowTheFrontPanelTable) {
  for (int p = 0; p < 16; ++p) {
    SCOPED_TRACE(kProgramNames[p]);
    const FrontPanel& panel = kFrontPanels[p];
    FakeHost plug;
    Select(plug, p);
    EXPECT_EQ(plug.GetParam(kVolume)->Value(), panel.volume);
    EXPECT_EQ(plug.GetParam(kPower)->Value(), 1.0);
    EXPECT_EQ(plug.GetParam(kTempo)->Value(), panel.tempo);
    EXPECT_EQ(plug.GetParam(kTempoSync)->Value(), panel.tempoSync ? 1.0 : 0.0);
    EXPECT_EQ(plug.GetParam(kRhythmRow)->Value(), panel.rowAbove ? 1.0 : 0.0);
    for (int b = 1; b <= 10; ++b) {
      EXPECT_EQ(plug.GetParam(kRhythm1 + b - 1)->Value(), panel.buttons.count(b) ? 1.0 : 0.0)
          << "Rhythm " << b;
    }
    for (int s = 0; s < kNumRhythmSlots; ++s) {
      EXPECT_EQ(plug.IsRhythmModified(s), panel.rewrittenSlots.count(s) == 1) << "slot " << s;
    }
    for (int i = kReservedFirst; i < kNumParams; ++i) EXPECT_EQ(plug.GetParam(i)->Value(), 0.0);
  }
}

TEST_F(FactoryBankTest, OddMeterGroovesAndRewrittenSlotsMakeSense) {
  // 7/8: two bars of 28 thirty-second notes; 5/4: one bar of 40.
  const struct {
    int program;
    int activeSteps;
    int barLength;
  } meters[] = {{2, 56, 28}, {3, 40, 40}};
  for (const auto& meter : meters) {
    SCOPED_TRACE(kProgramNames[meter.program]);
    FakeHost plug;
    Select(plug, meter.program);
    const CombinedRhythm& combined = plug.GetCombinedRhythm();
    EXPECT_EQ(combined.triplet, 0);
    int bar = 0;
    int position = 0;
    for (int s = 0; s < kNumSteps; ++s) {
      if (!combined.active[s]) continue;
      if (position == 0) {
        EXPECT_TRUE(combined.grid[kBase][s]) << "a bass drum opens bar " << bar;
      }
      if (++position == meter.barLength) {
        position = 0;
        ++bar;
      }
    }
    EXPECT_EQ(bar * meter.barLength + position, meter.activeSteps);
    EXPECT_EQ(position, 0) << "whole bars only";
  }

  // No rewritten slot hides hits on the steps it skips, and every one plays something.
  for (int p = 0; p < kPrograms; ++p) {
    for (const factorybank::SlotDefinition& slot : definition->programs[p].slots) {
      SCOPED_TRACE(std::string(kProgramNames[p]) + ", slot " + std::to_string(slot.slot));
      int hits = 0;
      for (int row = 0; row < kNumInstruments; ++row) {
        for (int s = 0; s < kNumSteps; ++s) {
          if (!slot.grid[row][s]) continue;
          ++hits;
          EXPECT_TRUE(slot.active[s]) << "row " << row << " step " << s;
        }
      }
      EXPECT_GT(hits, 0);
    }
  }
}

TEST_F(FactoryBankTest, MelodicKitIsTunedToNotes) {
  FakeHost plug;
  Select(plug, 5);
  for (int param : {kBaseFrequency, kSmallBongoFrequency, kLargeBongoFrequency, kClavesFrequency,
                    kRimshotFrequency}) {
    const double hz = plug.GetParam(param)->Value();
    EXPECT_TRUE(IsNote(hz)) << plug.GetParam(param)->Name() << " = " << hz;
  }
}

TEST_F(FactoryBankTest, NoProgramClips) {
  constexpr double kSampleRate = 44100.0;
  constexpr int kBlock = 512;
  // Longer than one pass of 64 steps at the slowest program's tempo.
  constexpr double kSeconds = 8.0;
  // The Init programs are all alike (InitProgramsAreTheDefaultProgram); the first stands for all.
  constexpr int kFirstInit = 36;
  for (int p = 0; p <= kFirstInit; ++p) {
    SCOPED_TRACE(kProgramNames[p]);
    FakeHost plug;
    Select(plug, p);
    plug.Start(kSampleRate, kBlock);
    const double tempo = plug.GetParam(kTempo)->Value();
    const bool sync = plug.GetParam(kTempoSync)->Value() >= 0.5;
    plug.transport.mTempo = tempo;
    plug.transport.mTransportIsRunning = sync;
    if (!sync) plug.ToggleRun(true);
    double peak = 0.0;
    bool sounded = false;
    for (double t = 0.0; t < kSeconds; t += kBlock / kSampleRate) {
      plug.transport.mSamplePos = t * kSampleRate;
      plug.transport.mPPQPos = t * tempo / 60.0;
      const auto out = plug.RenderDouble(kBlock);
      for (int c = 0; c < 2; ++c) {
        for (double x : out[static_cast<std::size_t>(c)]) {
          peak = std::max(peak, std::fabs(x));
          sounded = sounded || x != 0.0;
        }
      }
    }
    EXPECT_TRUE(sounded);
    EXPECT_LT(peak, 1.0);
  }
}

}  // namespace
