// MIDI learn and the controller map as the engine's MIDI input applies them.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/ParameterIndex.h"
#include "tests/support/FakeHost.h"
#include "tests/synth/ConfigHome.h"

namespace {

using synth_test::ConfigHomeTest;

// Counts what the editor's learn switch would be told.
class LearnHost : public testing_support::FakeHost {
 public:
  void LearnFinished() override { ++finished; }
  int finished = 0;
};

class MidiLearnTest : public ConfigHomeTest {
 protected:
  void SetUp() override {
    ConfigHomeTest::SetUp();
    plug = std::make_unique<LearnHost>();
    plug->Start();
  }

  void Controller(int cc, int value) {
    plug->OnMidiMessage(
        IMidiMessage(0, 0xB0, static_cast<std::uint8_t>(cc), static_cast<std::uint8_t>(value)));
  }
  // Controllers act when the queue is drained inside a block.
  void Render() { plug->RenderDouble(512); }
  bool Reported(int paramIdx) const {
    return std::any_of(plug->reportedParams.begin(), plug->reportedParams.end(),
                       [&](const auto& r) { return r.first == paramIdx; });
  }
  double Normalized(int paramIdx) const { return plug->GetParam(paramIdx)->GetNormalizedValue(); }

  std::unique_ptr<LearnHost> plug;
};

TEST_F(MidiLearnTest, EitherHalfMayComeFirst) {
  // A knob, then the controller.
  plug->ArmLearn(true, false);
  plug->Set(kTempo, 100.0);
  EXPECT_TRUE(plug->LearnArmed()) << "waits for the controller";
  Controller(20, 0);
  EXPECT_FALSE(plug->LearnArmed());
  EXPECT_EQ(plug->finished, 1) << "the switch returns to off";
  EXPECT_EQ(plug->ControllerTarget(20), kTempo);
  Render();
  EXPECT_EQ(plug->GetParam(kTempo)->Value(), 100.0) << "the learning controller moves nothing";
  Controller(20, 0);
  Render();
  EXPECT_EQ(Normalized(kTempo), 0.0);
  EXPECT_TRUE(Reported(kTempo)) << "the host hears of it";

  // The controller, then the PLAY switch.
  plug->ArmLearn(true, false);
  Controller(21, 127);
  EXPECT_TRUE(plug->LearnArmed());
  EXPECT_TRUE(plug->LearnTarget(Synth::kPlaySwitchTarget)) << "the click is taken by learning";
  EXPECT_EQ(plug->ControllerTarget(21), Synth::kPlaySwitchTarget);
  EXPECT_FALSE(plug->GetSequencer().running);
  Controller(21, 64);
  Render();
  EXPECT_TRUE(plug->GetSequencer().running);
  Controller(21, 63);
  Render();
  EXPECT_FALSE(plug->GetSequencer().running);
  EXPECT_FALSE(plug->LearnTarget(Synth::kPlaySwitchTarget)) << "disarmed: a click is a click";
}

TEST_F(MidiLearnTest, ATargetKeepsOneControllerAndUnlearnRemovesBindings) {
  auto learn = [&](int cc, int paramIdx) {
    plug->ArmLearn(true, false);
    Controller(cc, 0);
    plug->Set(paramIdx, plug->GetParam(paramIdx)->Value());
  };
  learn(20, kTempo);
  learn(21, kTempo);
  EXPECT_EQ(plug->ControllerTarget(20), Synth::kUnmapped) << "rebinding unbinds the old one";
  EXPECT_EQ(plug->ControllerTarget(21), kTempo);
  learn(21, kVolume);
  EXPECT_EQ(plug->ControllerTarget(21), kVolume) << "a bound controller is simply overwritten";

  // Unlearn by controller, also one that had no binding.
  plug->ArmLearn(true, true);
  Controller(21, 0);
  EXPECT_FALSE(plug->LearnArmed());
  EXPECT_EQ(plug->ControllerTarget(21), Synth::kUnmapped);
  plug->ArmLearn(true, true);
  Controller(99, 0);
  EXPECT_FALSE(plug->LearnArmed());

  // Unlearn by target: every controller bound to it goes (a saved map may hold several).
  plug->SetControllerTarget(30, kTempo);
  plug->SetControllerTarget(31, kTempo);
  plug->SetControllerTarget(32, kVolume);
  plug->ArmLearn(true, true);
  plug->Set(kTempo, 90.0);
  EXPECT_FALSE(plug->LearnArmed());
  EXPECT_EQ(plug->ControllerTarget(30), Synth::kUnmapped);
  EXPECT_EQ(plug->ControllerTarget(31), Synth::kUnmapped);
  EXPECT_EQ(plug->ControllerTarget(32), kVolume);
}

TEST_F(MidiLearnTest, AValueAlreadyReachedIsNotSetAgain) {
  plug->SetControllerTarget(30, kVolume);
  plug->Set(kVolume, plug->GetParam(kVolume)->Max());
  plug->reportedParams.clear();
  Controller(30, 127);
  Render();
  EXPECT_FALSE(Reported(kVolume));
  Controller(30, 64);
  Render();
  EXPECT_TRUE(Reported(kVolume));
  EXPECT_DOUBLE_EQ(Normalized(kVolume), 64.0 / 127.0);
}

TEST_F(MidiLearnTest, ChannelModeControllersNeverLearnAndThruForwardsWhatLearnTakes) {
  plug->SetMidiThru(true);
  plug->ArmLearn(true, false);
  plug->OnMidiMessage(IMidiMessage(0, 0x90, 36, 100));
  Render();
  ASSERT_TRUE(plug->GetHeldNotes().IsHeld(36));
  Controller(121, 0);
  EXPECT_TRUE(plug->GetHeldNotes().IsHeld(36)) << "reset all controllers is ignored";
  Controller(123, 0);
  EXPECT_FALSE(plug->GetHeldNotes().IsHeld(36)) << "all notes off panics";
  EXPECT_TRUE(plug->LearnArmed()) << "neither is a controller to learn";

  Render();
  plug->sentMidi.clear();
  Controller(20, 5);
  EXPECT_TRUE(plug->sentMidi.empty()) << "hosts take MIDI output only while processing";
  Render();
  ASSERT_EQ(plug->sentMidi.size(), 1u) << "thru goes out with the next block, also for a learned "
                                          "controller";
  EXPECT_EQ(plug->sentMidi[0].mData1, 20);
  EXPECT_EQ(plug->sentMidi[0].mData2, 5);
  EXPECT_TRUE(plug->LearnArmed());
  plug->Set(kTempo, 100.0);
  EXPECT_EQ(plug->ControllerTarget(20), kTempo);
}

TEST_F(MidiLearnTest, ReapplyingEveryParameterIsNoLearnTarget) {
  // Hosts switch processing off and on while the user waits to move a knob.
  plug->ArmLearn(true, false);
  Controller(20, 0);
  plug->SetActive(false);
  plug->SetActive(true);
  EXPECT_TRUE(plug->LearnArmed());
  EXPECT_EQ(plug->ControllerTarget(20), Synth::kUnmapped);
  plug->Set(kTempo, 100.0);
  EXPECT_EQ(plug->ControllerTarget(20), kTempo);

  // A reset disarms, and the switch is told so.
  plug->ArmLearn(true, false);
  const int finished = plug->finished;
  plug->OnReset();
  EXPECT_FALSE(plug->LearnArmed());
  EXPECT_EQ(plug->finished, finished + 1);
  Controller(21, 0);
  EXPECT_EQ(plug->ControllerTarget(21), Synth::kUnmapped);
}

}  // namespace
