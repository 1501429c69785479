// The engine's state payload: its byte layout, what a reader accepts, and that a damaged payload
// changes nothing.
#include "engine/EngineState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/FakeHost.h"

namespace {

using testing_support::FakeHost;

// A payload laid out by hand from the documented offsets, independently of the writer.
struct HandPayload {
  std::vector<std::uint8_t> bytes;

  template <typename T>
  void Put(T value) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
    bytes.insert(bytes.end(), p, p + sizeof(T));
  }
  void PutText(const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

  ChunkBuffer Chunk() const {
    ChunkBuffer chunk;
    chunk.PutRaw(bytes.data(), bytes.size());
    return chunk;
  }
};

// Header, the given parameter values and the live rhythm bank of plug, step-major.
HandPayload BuildPayload(const FakeHost& plug, const std::string& name, bool tagged,
                         const std::vector<double>& values) {
  HandPayload payload;
  if (tagged) {
    payload.PutText("Rhythmoria_1.1.3");
    payload.Put<std::int32_t>(0);
    payload.Put<std::int32_t>(static_cast<std::int32_t>(name.size()));
    payload.PutText(name);
  }
  for (double v : values) payload.Put(v);
  if (!tagged) payload.Put<std::int32_t>(0);
  const RhythmBank& bank = plug.GetRhythmBank();
  for (int slot = 0; slot < 20; ++slot) {
    payload.Put(bank.triplet[slot]);
    for (int step = 0; step < 64; ++step) {
      payload.Put(bank.active[slot][step]);
      for (int row = 0; row < 15; ++row) payload.Put(bank.grid[slot][row][step]);
    }
  }
  return payload;
}

std::vector<double> ParamValues(const FakeHost& plug) {
  std::vector<double> values;
  for (int i = 0; i < plug.NParams(); ++i) values.push_back(plug.GetParam(i)->Value());
  return values;
}

class EngineStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plug.Start();
    plug.GetProgram(0)->mName = "Classic 1";
  }

  // A sound clearly different from the defaults, an edited slot and some routing.
  void Customise(FakeHost& p) {
    p.Set(kTempo, 97.5);
    p.Set(kRhythm1 + 3, 1.0);
    p.Set(kLevelFirst + kHihat, 2.5);
    p.Set(kSnare1Decay, 0.123);
    p.EditRhythm(kConga, 0, RhythmEdit::FillQuarters);
    p.SetActiveSteps(kTemplateTriplets);
    p.SetOutputRouting(kCowbell, false, 5);
  }

  FakeHost plug;
};

TEST_F(EngineStateTest, PayloadLayoutIsByteForByteTheDocumentedOne) {
  Customise(plug);
  plug.GetParam(kReservedFirst + 3)->SetValue(1.0);
  ChunkBuffer written;
  ASSERT_TRUE(plug.SerializeState(written));
  EXPECT_EQ(written.Size(), 21780);
  EXPECT_EQ(plug.GetParam(kReservedFirst + 3)->Value(), 0.0) << "reserved parameters store 0";

  HandPayload expected = BuildPayload(plug, "Classic 1", true, ParamValues(plug));
  expected.Put<std::int32_t>(75);
  for (int k = 0; k < 15; ++k) {
    expected.Put<std::uint8_t>(plug.ToSum(k) ? 1 : 0);
    expected.Put<std::int32_t>(plug.ExtraOutput(k));
  }
  ASSERT_EQ(expected.bytes.size(), 21780u);
  EXPECT_EQ(std::memcmp(written.Data(), expected.bytes.data(), expected.bytes.size()), 0);
}

TEST_F(EngineStateTest, RoundTripRestoresParametersRhythmsAndRouting) {
  Customise(plug);
  ChunkBuffer chunk;
  plug.SerializeState(chunk);

  FakeHost other;
  other.Start();
  EXPECT_EQ(other.UnserializeState(chunk, 0), chunk.Size());
  EXPECT_EQ(ParamValues(other), ParamValues(plug));
  EXPECT_EQ(std::memcmp(&other.GetRhythmBank(), &plug.GetRhythmBank(), sizeof(RhythmBank)), 0);
  EXPECT_FALSE(other.ToSum(kCowbell));
  EXPECT_EQ(other.ExtraOutput(kCowbell), 5);
  EXPECT_TRUE(other.IsSlotSelected(3)) << "the rhythm selection is rebuilt at once";
  EXPECT_TRUE(other.GetCombinedRhythm().triplet);
  EXPECT_EQ(other.GetSequencer().tempo, 97.5) << "every parameter was applied";
}

TEST_F(EngineStateTest, RoutingMarkerDecidesTheRouting) {
  const std::vector<double> defaults = ParamValues(plug);
  plug.SetOutputRouting(kBase, false, 4);

  HandPayload reset = BuildPayload(plug, "x", true, defaults);
  reset.Put<std::int32_t>(0);
  EXPECT_GT(plug.UnserializeState(reset.Chunk(), 0), 0);
  EXPECT_TRUE(plug.ToSum(kBase));
  EXPECT_EQ(plug.ExtraOutput(kBase), 0);

  plug.SetOutputRouting(kBase, false, 4);
  HandPayload keep = BuildPayload(plug, "x", true, defaults);
  keep.Put<std::int32_t>(74);
  EXPECT_EQ(plug.UnserializeState(keep.Chunk(), 0), static_cast<int>(keep.bytes.size()));
  EXPECT_EQ(plug.ExtraOutput(kBase), 4);

  // Payloads from before the routing existed end after the rhythms: they load and succeed.
  HandPayload old = BuildPayload(plug, "x", false, defaults);
  EXPECT_EQ(plug.UnserializeState(old.Chunk(), 0), static_cast<int>(old.bytes.size()));
  EXPECT_EQ(plug.ExtraOutput(kBase), 4);
}

TEST_F(EngineStateTest, DamagedPayloadsFailAndChangeNothing) {
  Customise(plug);
  ChunkBuffer good;
  plug.SerializeState(good);
  const std::vector<double> before = ParamValues(plug);
  const RhythmBank bankBefore = plug.GetRhythmBank();

  auto expectUnchanged = [&](const ChunkBuffer& chunk, const char* what) {
    EXPECT_EQ(plug.UnserializeState(chunk, 0), -1) << what;
    EXPECT_EQ(ParamValues(plug), before) << what;
    EXPECT_EQ(std::memcmp(&plug.GetRhythmBank(), &bankBefore, sizeof(RhythmBank)), 0) << what;
  };

  ChunkBuffer seven;
  seven.PutRaw(good.Data(), 7);
  expectUnchanged(seven, "a 7-byte chunk");

  ChunkBuffer cutInRhythms;
  cutInRhythms.PutRaw(good.Data(), 1200 + 9 + 5000);
  expectUnchanged(cutInRhythms, "cut inside the rhythm block");

  ChunkBuffer nan;
  nan.PutRaw(good.Data(), static_cast<std::size_t>(good.Size()));
  const double bad = std::nan("");
  std::memcpy(nan.Data() + 24 + 9 + 8 * kTempo, &bad, 8);
  expectUnchanged(nan, "a NaN tempo");

  ChunkBuffer negativeName;
  negativeName.PutRaw(good.Data(), static_cast<std::size_t>(good.Size()));
  const std::int32_t minusTwenty = -20;
  std::memcpy(negativeName.Data() + 20, &minusTwenty, 4);
  expectUnchanged(negativeName, "a negative name length");

  EXPECT_EQ(plug.UnserializeState(good, -1), -1);
  EXPECT_EQ(plug.UnserializeState(good, good.Size()), -1);
}

TEST_F(EngineStateTest, InitializeProgramRestoresDefaults) {
  Customise(plug);
  plug.InitDefaults();
  EXPECT_EQ(plug.GetProgram(plug.GetCurrentProgram())->mName, "Init");
  for (int i = 0; i < plug.NParams(); ++i) {
    EXPECT_EQ(plug.GetParam(i)->Value(), plug.GetParam(i)->Default()) << i;
  }
  for (int slot = 0; slot < 20; ++slot) EXPECT_FALSE(plug.IsRhythmModified(slot));
  EXPECT_TRUE(plug.ToSum(kCowbell));
  EXPECT_EQ(plug.GetSequencer().tempo, 120.0) << "the sound follows the defaults";
}

TEST_F(EngineStateTest, ResetInstrumentTouchesOnlyThatInstrument) {
  Customise(plug);
  plug.Set(kNoteFirst + kCowbell, 99.0);
  plug.Set(kCowbellDecay2, 0.5);
  plug.ResetInstrument(kCowbell, true);
  EXPECT_EQ(plug.GetParam(kNoteFirst + kCowbell)->Value(), 56.0);
  EXPECT_EQ(plug.GetParam(kCowbellDecay2)->Value(), 0.5) << "note only";
  EXPECT_EQ(plug.ExtraOutput(kCowbell), 5);

  plug.ResetInstrument(kCowbell, false);
  EXPECT_EQ(plug.GetParam(kCowbellDecay2)->Value(), 0.004);
  EXPECT_EQ(plug.ExtraOutput(kCowbell), 0);
  EXPECT_TRUE(plug.ToSum(kCowbell));
  EXPECT_EQ(plug.GetParam(kLevelFirst + kHihat)->Value(), 2.5) << "other instruments keep theirs";
  EXPECT_EQ(plug.GetParam(kSnare1Decay)->Value(), 0.123);
}

TEST_F(EngineStateTest, MidiProgramChangeSwitchesProgramUnlessIgnored) {
  plug.FillEmptyPrograms("Empty", 64);
  plug.Set(kTempo, 150.0);
  plug.OnMidiMessage(IMidiMessage(0, 0xC0, 5, 0));
  EXPECT_EQ(plug.GetCurrentProgram(), 5);
  EXPECT_EQ(plug.GetParam(kTempo)->Value(), 120.0)
      << "program 5 holds the sound it was filled with";

  plug.SetIgnoreProgramChange(true);
  plug.OnMidiMessage(IMidiMessage(0, 0xC0, 7, 0));
  EXPECT_EQ(plug.GetCurrentProgram(), 5);
}

}  // namespace

namespace {

TEST(RhythmMidiFileTest, ExportedSlotImportsBackIntoTheEditedSlot) {
  testing_support::FakeHost plug;
  plug.Start();
  plug.Set(kRhythm1 + 5, 1.0);  // Bossanova in slot 5, which the editor follows
  ASSERT_EQ(plug.EditedSlot(), 5);
  const auto path = std::filesystem::temp_directory_path() / "rhythmoria-slot5.mid";
  ASSERT_TRUE(plug.ExportRhythmMidi(path, true, false));

  const RhythmBank before = plug.GetRhythmBank();
  plug.EditRhythm(0, 0, RhythmEdit::ClearAll);
  ASSERT_TRUE(plug.ImportRhythmMidi(path, false));
  const RhythmBank& after = plug.GetRhythmBank();
  // A held guiro comes back as the start of its run; every other row comes back whole.
  for (int row = 0; row < kNumInstruments; ++row) {
    if (row == kGuiro) continue;
    EXPECT_EQ(std::memcmp(after.grid[5][row], before.grid[5][row], kNumSteps), 0) << row;
  }
  EXPECT_EQ(std::memcmp(after.active[5], before.active[5], kNumSteps), 0);
  EXPECT_TRUE(plug.GetCombinedRhythm().grid[kBase][0]) << "what plays was rebuilt";
  EXPECT_FALSE(plug.ImportRhythmMidi(path.string() + ".missing", false));
  std::filesystem::remove(path);
}

}  // namespace
