#include "engine/Rhythmoria.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "engine/ParameterTable.h"
#include "tests/support/FakeHost.h"

namespace {

using testing_support::FakeHost;

class RhythmoriaTest : public ::testing::Test {
 protected:
  std::string Display(int paramIdx) {
    char text[64];
    const IParameter* p = plug.GetParam(paramIdx);
    p->FormatForHost(p->Value(), false, text, sizeof(text), true);
    return text;
  }
  std::string DisplayAt(int paramIdx, double value) {
    plug.GetParam(paramIdx)->SetValue(value);
    return Display(paramIdx);
  }

  FakeHost plug;
};

TEST_F(RhythmoriaTest, IdentityOfThePlugIn) {
  EXPECT_STREQ(plug.GetEffectName(), "Rhythmoria");
  EXPECT_STREQ(plug.GetProductName(), "");
  EXPECT_STREQ(plug.GetMfrName(), "Morvane Music");
  EXPECT_EQ(plug.GetUniqueID(), 0x6B727837);  // "krx7"
  EXPECT_EQ(plug.GetMfrID(), 0x4D6F566E);     // "MoVn"
  EXPECT_EQ(plug.GetEffectVersion(true), 10106);
  EXPECT_TRUE(plug.DoesStateChunks());
  EXPECT_TRUE(plug.IsInstrument());
  EXPECT_TRUE(plug.DoesMidi());
  EXPECT_EQ(plug.GetLatency(), 0);
  EXPECT_EQ(plug.GetTailSize(), 0u);
  EXPECT_EQ(plug.GetPluginApi(), 0);
  EXPECT_EQ(plug.GetSampleRate(), 44100.0);
  EXPECT_EQ(plug.GetBlockSize(), 1024);
  EXPECT_EQ(plug.NPrograms(), 64);
  EXPECT_EQ(plug.GetCurrentProgram(), 0);
}

TEST_F(RhythmoriaTest, SixteenNamedOutputsNoInputs) {
  const char* expected[] = {"Sum L",     "Sum R",     "Extra 1 L", "Extra 1 R",
                            "Extra 2 L", "Extra 2 R", "Extra 3 L", "Extra 3 R",
                            "Extra 4 L", "Extra 4 R", "Extra 5 L", "Extra 5 R",
                            "Extra 6 L", "Extra 6 R", "Extra 7 L", "Extra 7 R"};
  EXPECT_EQ(plug.NInChannels(), 0);
  ASSERT_EQ(plug.NOutChannels(), 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(plug.GetOutputLabel(i), expected[i]);
    EXPECT_TRUE(plug.IsOutChannelConnected(i));
  }
}

TEST_F(RhythmoriaTest, EveryParameterStartsAtItsTableDefault) {
  ASSERT_EQ(plug.NParams(), 146);
  for (int i = 0; i < plug.NParams(); ++i) {
    const IParameter* p = plug.GetParam(i);
    const ParameterDefinition& row = GetParameterDefinition(i);
    EXPECT_STREQ(p->Name(), row.name) << i;
    EXPECT_EQ(p->Type(), row.type) << i;
    EXPECT_EQ(p->Default(), row.defaultValue) << p->Name();
    EXPECT_EQ(p->Min(), row.min) << p->Name();
    EXPECT_EQ(p->Max(), row.max) << p->Name();
    EXPECT_GT(p->Max(), p->Min()) << p->Name();
  }
  EXPECT_STREQ(plug.GetParam(kLevelFirst + kSmallBongo)->Name(), "Level Small Bongo");
  EXPECT_STREQ(plug.GetParam(kNoteFirst + kQuijada)->Name(), "Note Quijada");
  EXPECT_STREQ(plug.GetParam(kGuiroDensity)->Name(), "Guiro Density");
  EXPECT_STREQ(plug.GetParam(145)->Name(), "reserved");
  EXPECT_EQ(plug.GetParam(kNoteFirst)->Min(), -1.0);
  EXPECT_EQ(plug.GetParam(kNoteFirst)->Max(), 136.0);
  EXPECT_EQ(plug.GetParam(kBaseFrequency)->Shape(), 4.0);
  EXPECT_EQ(plug.GetParam(kVolume)->Shape(), 2.0);
}

TEST(RhythmoriaStartTest, AFreshInstanceStartsOnTheFirstFactoryProgram) {
  Rhythmoria plug(IPlugInstanceInfo{});
  EXPECT_EQ(plug.GetCurrentProgram(), 0);
  EXPECT_STREQ(plug.GetProgramName(0), "Classic 1");
  EXPECT_STREQ(plug.GetProgramName(63), "Init");
  // Classic 1 plays Rhythm 4, 6 and 7 of the upper row.
  for (int b = 0; b < 10; ++b) {
    EXPECT_EQ(plug.GetParam(kRhythm1 + b)->Value(), b == 3 || b == 5 || b == 6 ? 1.0 : 0.0) << b;
  }
  EXPECT_TRUE(plug.IsSlotSelected(3));
  EXPECT_TRUE(plug.IsSlotSelected(5));
  EXPECT_TRUE(plug.IsSlotSelected(6));
}

TEST_F(RhythmoriaTest, DisplaysFollowTheTable) {
  EXPECT_EQ(Display(kTempo), "120.000000");
  EXPECT_EQ(Display(kPanFirst), "50:50");
  EXPECT_EQ(DisplayAt(kPanFirst + 3, 0.0), "100:0");
  EXPECT_EQ(DisplayAt(kPanFirst + 4, 0.25), "75:25");
  EXPECT_EQ(Display(kVolume), "0.0");
  EXPECT_EQ(DisplayAt(kVolume, 0.0), "-oo");
  EXPECT_EQ(DisplayAt(kVolume, 4.0), "12.0");
  EXPECT_EQ(Display(kQuijadaBalance), "-6.0");
  EXPECT_EQ(Display(kLevelFirst + kGuiro), "0.0");
  EXPECT_EQ(Display(kRhythmRow), "above");
  EXPECT_EQ(DisplayAt(kRhythmRow, 0.0), "below");
  EXPECT_EQ(Display(kPower), "on");
  EXPECT_EQ(Display(kRhythm1), "off");
  EXPECT_EQ(Display(kBalance), "0.50");
  EXPECT_EQ(Display(kNoteFirst), "36");
  EXPECT_EQ(Display(kBaseFrequency), "65");
  EXPECT_EQ(Display(kBaseAttack), "0.001");
  EXPECT_EQ(Display(kHihatResonance), "2.00");
  EXPECT_EQ(Display(kSnare1Tick), "0.50");
  EXPECT_EQ(Display(kGuiroRate), "65.0");
  EXPECT_EQ(Display(kGuiroDensity), "0.0006");
  EXPECT_EQ(Display(kQuijadaDecay), "0.300");
  EXPECT_EQ(Display(kQuijadaRate), "25.00");
  EXPECT_EQ(Display(kReservedFirst), "0");
}

TEST_F(RhythmoriaTest, NormalisedPositionsUseTheShape) {
  IParameter* frequency = plug.GetParam(kBaseFrequency);
  frequency->SetFromNormalized(0.5);
  EXPECT_DOUBLE_EQ(frequency->Value(), 765.0);
  IParameter* level = plug.GetParam(kLevelFirst);
  EXPECT_DOUBLE_EQ(level->GetNormalizedValue(), 0.5) << "level 1.0 sits at the middle";
  IParameter* note = plug.GetParam(kNoteFirst);
  note->SetFromNormalized(0.5);
  EXPECT_EQ(note->Value(), 68.0) << "integers snap: -1 + 137 * 0.5 = 67.5 rounds up";
}

TEST_F(RhythmoriaTest, VoiceTableHoldsTheSineVoicesInInstrumentOrder) {
  for (int k : {kBase, kSmallBongo, kLargeBongo, kClaves, kRimshot}) {
    ASSERT_NE(plug.GetVoice(k), nullptr) << k;
    EXPECT_NE(dynamic_cast<const Base*>(plug.GetVoice(k)), nullptr) << k;
  }
  EXPECT_EQ(plug.GetVoice(-1), nullptr);
  EXPECT_EQ(plug.GetVoice(kNumInstruments), nullptr);
}

TEST_F(RhythmoriaTest, ResetAppliesANewRateOnlyOnce) {
  const auto* drum = dynamic_cast<const Base*>(plug.GetVoice(kBase));
  plug.OnReset();
  EXPECT_EQ(plug.MsPeriod(), 44);
  plug.PreviewNote(drum->note, true);

  plug.OnReset();
  EXPECT_TRUE(drum->isActive()) << "an unchanged rate leaves sounding voices alone";

  plug.SetHostSampleRate(48000.0);
  plug.OnReset();
  EXPECT_FALSE(drum->isActive());
  EXPECT_EQ(drum->envelope.sampleRate, 48000.0);
  EXPECT_EQ(plug.MsPeriod(), 48);
}

TEST_F(RhythmoriaTest, BlocksRenderThroughTheFrame) {
  plug.OnReset();
  const auto outputs = plug.RenderBlock(512);
  ASSERT_EQ(outputs.size(), 16u);
  for (const auto& channel : outputs) {
    for (float s : channel) ASSERT_EQ(s, 0.0f);
  }
}

// The engine keeps track of which voices sound from block to block; a note played on the
// editor's keys between blocks must join them.
TEST_F(RhythmoriaTest, ANotePreviewedBetweenBlocksSoundsInTheNext) {
  plug.OnReset();
  plug.RenderBlock(32);
  plug.PreviewNote(plug.GetVoice(kSnare1)->note, true);
  const auto outputs = plug.RenderBlock(32);
  float loudest = 0.0f;
  for (float s : outputs[0]) loudest = std::max(loudest, std::abs(s));
  EXPECT_GT(loudest, 0.0f);
}

}  // namespace
