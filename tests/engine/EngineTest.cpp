// The engine end to end in-process: parameters reaching the voices, the sequencer's timing and
// MIDI output, the millisecond sub-block grid, MIDI input and the mix.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "framework/WideVectors.h"
#include "tests/support/FakeHost.h"
#include "voices/Envelope.h"
#include "voices/Guiro.h"
#include "voices/Noise.h"
#include "voices/WhiteNoise.h"

namespace {

using testing_support::FakeHost;

constexpr int kBlock = 512;
constexpr int kGuiroNote = 74;
constexpr int kTambourineNote = 54;

struct SentNote {
  long long time;  // absolute sample
  int status;
  int note;
};

class EngineTest : public ::testing::Test {
 protected:
  // Renders blocks until `samples` have passed, collecting what the plug-in sent to the host with
  // absolute times.
  std::vector<std::vector<double>> Run(long long samples, int block = kBlock) {
    std::vector<std::vector<double>> all(16);
    for (long long done = 0; done < samples; done += block) {
      const int n = static_cast<int>(std::min<long long>(block, samples - done));
      plug.sentMidi.clear();
      auto out = plug.RenderDouble(n);
      for (const IMidiMessage& m : plug.sentMidi) {
        sent.push_back({elapsed + m.mOffset, m.mStatus, m.mData1});
      }
      for (int c = 0; c < 16; ++c) all[c].insert(all[c].end(), out[c].begin(), out[c].end());
      elapsed += n;
    }
    return all;
  }

  std::vector<long long> NoteOnTimes(int note) const {
    std::vector<long long> times;
    for (const SentNote& s : sent) {
      if (s.note == note && (s.status & 0xF0) == 0x90) times.push_back(s.time);
    }
    return times;
  }

  // Note events of one note, as +time for note-on and -time for note-off.
  std::vector<long long> NoteEvents(int note) const {
    std::vector<long long> events;
    for (const SentNote& s : sent) {
      if (s.note == note) events.push_back((s.status & 0xF0) == 0x90 ? s.time : -s.time);
    }
    return events;
  }

  void HostNote(int status, int note, int velocity, int offset = 0) {
    plug.OnMidiMessage(IMidiMessage(offset, static_cast<std::uint8_t>(status),
                                    static_cast<std::uint8_t>(note),
                                    static_cast<std::uint8_t>(velocity)));
  }

  FakeHost plug;
  std::vector<SentNote> sent;
  long long elapsed = 0;
};

TEST_F(EngineTest, LevelsPansNotesAndBalanceReachTheVoices) {
  plug.Start();
  const Instrument& drum = *plug.GetVoice(kBase);
  EXPECT_EQ(drum.velocity, 64) << "level 1.0 sits at the middle of its shaped range";
  plug.Set(kLevelFirst + kBase, 0.0);
  EXPECT_EQ(drum.gain, 0.0);
  EXPECT_EQ(drum.velocity, 0);
  plug.Set(kLevelFirst + kBase, 4.0);
  EXPECT_EQ(drum.velocity, 127);
  plug.Set(kPanFirst + kBase, 0.25);
  EXPECT_EQ(drum.pan, 0.25);
  plug.Set(kNoteFirst + kBase, -1.0);
  EXPECT_EQ(drum.note, -1);
  plug.Set(kNoteFirst + kBase, 136.0);
  EXPECT_EQ(drum.note, 136);

  plug.Set(kBalance, 0.0);
  EXPECT_EQ(drum.balance, 1.0);
  EXPECT_DOUBLE_EQ(plug.GetVoice(kHihat)->balance, 0.2);
  EXPECT_DOUBLE_EQ(plug.GetVoice(kCymbal2)->balance, 0.2);
  plug.Set(kBalance, 1.0);
  EXPECT_DOUBLE_EQ(drum.balance, 0.2);
  EXPECT_DOUBLE_EQ(drum.gain, 0.2 * 4.0);
  EXPECT_EQ(plug.GetVoice(kCymbal1)->balance, 1.0);

  plug.Set(kTambourineBalance, 0.0);
  plug.Set(kLevelFirst + kTambourine, 3.0);
  EXPECT_EQ(plug.GetVoice(kTambourine)->gain, 0.0) << "its own level cannot bring it back";
  plug.Set(kVolume, 3.0);
  EXPECT_EQ(plug.VolumeGain(), 1.5);
}

TEST_F(EngineTest, RhythmButtonsFollowTheRowSwitch) {
  plug.Start();
  plug.Set(kRhythm1 + 2, 1.0);
  EXPECT_TRUE(plug.IsSlotSelected(2));
  plug.Set(kRhythmRow, 0.0);
  EXPECT_FALSE(plug.IsSlotSelected(2));
  EXPECT_TRUE(plug.IsSlotSelected(12));
  EXPECT_EQ(plug.EditedSlot(), 12) << "the editor follows the selection";
  plug.Set(kRhythm1 + 8, 1.0);
  EXPECT_TRUE(plug.GetCombinedRhythm().triplet) << "March 6/8 is a triplet rhythm";
}

TEST_F(EngineTest, StepsLastThreeTicksOrFourInTriplets) {
  plug.Start(48000.0);
  plug.Set(kRhythm1 + 1, 1.0);  // Samba: all steps active, tambourine every fourth step
  plug.ToggleRun(true);
  EXPECT_EQ(plug.GetSequencer().samplesPerTick, 1000.0);
  Run(30000);
  EXPECT_EQ(NoteOnTimes(kTambourineNote), (std::vector<long long>{0, 12000, 24000}));

  plug.Set(kRhythm1 + 1, 0.0);
  plug.Set(kRhythm1 + 8, 1.0);  // March 2/4: triplet, six of every eight steps
  plug.ToggleRun(false);
  plug.ToggleRun(true);
  sent.clear();
  elapsed = 0;
  Run(30000);
  EXPECT_EQ(NoteOnTimes(kTambourineNote), (std::vector<long long>{0, 16000, 24000}));
}

TEST_F(EngineTest, InactiveStepsAreSkipped) {
  plug.Start(48000.0);
  plug.Set(kRhythm1, 1.0);  // Waltz: steps 8..11, 16..19, 40..43 and 48..51 are inactive
  plug.ToggleRun(true);
  Run(48 * 3000);
  const std::vector<long long> tambourine = NoteOnTimes(kTambourineNote);
  // Hits on steps 0 4 12 20 24 28 32 36 44 52 56 60, then step 0 again after 48 played steps.
  const std::vector<int> playedIndex = {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44};
  ASSERT_EQ(tambourine.size(), playedIndex.size());
  for (std::size_t i = 0; i < playedIndex.size(); ++i) {
    EXPECT_EQ(tambourine[i], playedIndex[i] * 3000LL) << i;
  }
}

TEST_F(EngineTest, GuiroIsHeldAcrossConsecutiveSteps) {
  plug.Start(48000.0);
  plug.Set(kRhythm1 + 1, 1.0);
  plug.ToggleRun(true);
  Run(64 * 3000 + 10);
  const std::vector<long long> events = NoteEvents(kGuiroNote);
  ASSERT_GE(events.size(), 8u);
  // On at step 0, off as step 4 begins; single-step notes at 8 and 12; held again over 16..19.
  const std::vector<long long> expected = {0, -12000, 24000, -27000, 36000, -39000, 48000, -60000};
  EXPECT_EQ(std::vector<long long>(events.begin(), events.begin() + 8), expected);
  int balance = 0;
  for (long long e : events) balance += e > 0 || (e == 0) ? 1 : -1;
  EXPECT_LE(balance, 1);
}

TEST_F(EngineTest, NothingSelectedPlaysOnlyTheAccompaniment) {
  plug.Start(48000.0);
  plug.ToggleRun(true);
  Run(64 * 3000);
  for (const SentNote& s : sent) {
    EXPECT_TRUE(s.note == kTambourineNote || s.note == kGuiroNote || s.note == 79) << s.note;
  }
  EXPECT_FALSE(NoteOnTimes(kTambourineNote).empty());
}

TEST_F(EngineTest, HostMidiOutCarriesTheSamplePositionOfTheTick) {
  plug.Start(44100.0);
  plug.Set(kRhythm1 + 1, 1.0);
  plug.ToggleRun(true);
  Run(44100);
  // 2756.25 samples a step: the tambourine (every fourth step) at whole multiples of 11025.
  const std::vector<long long> times = NoteOnTimes(kTambourineNote);
  ASSERT_GE(times.size(), 4u);
  EXPECT_EQ(times[1], 11025);
  EXPECT_EQ(times[2], 22050);
  // Every note-off reaches the host exactly one tick (918 samples) after its note-on, even when
  // that falls in a later block.
  long long lastOn = -1;
  for (const SentNote& s : sent) {
    if (s.note != kTambourineNote) continue;
    if ((s.status & 0xF0) == 0x90) lastOn = s.time;
    if ((s.status & 0xF0) == 0x80) {
      EXPECT_EQ(s.time - lastOn, 918);
    }
  }
}

TEST_F(EngineTest, NotesOutsideTheMidiRangeAreNeverSentButStillPlay) {
  plug.Start(48000.0);
  plug.Set(kNoteFirst + kTambourine, 130.0);
  plug.Set(kRhythm1 + 1, 1.0);
  plug.ToggleRun(true);
  Run(12000);
  for (const SentNote& s : sent) EXPECT_LT(s.note, 128);
  EXPECT_GT(plug.GetVoice(kTambourine)->triggerTime, 0) << "the voice still plays internally";
}

TEST_F(EngineTest, MillisecondGridCarriesAcrossBlocks) {
  plug.Start(44100.0);
  EXPECT_EQ(plug.MsPeriod(), 44);
  plug.RenderDouble(512);
  EXPECT_EQ(plug.SampleCounter(), 512);
  EXPECT_EQ(plug.MsCountdown(), 16) << "11 sub-blocks of 44 and one of 28";
  plug.RenderDouble(16);
  EXPECT_EQ(plug.MsCountdown(), 0);
  plug.RenderDouble(20);
  EXPECT_EQ(plug.MsCountdown(), 24);
}

TEST_F(EngineTest, SequencerNotesSoundFromTheNextSubBlock) {
  plug.Start(44100.0);
  plug.Set(kRhythm1 + 1, 1.0);  // Samba: bass drum on step 0
  plug.SetOutputRouting(kBase, false, 1);
  plug.ToggleRun(true);
  const auto out = Run(200);
  EXPECT_EQ(plug.GetVoice(kBase)->triggerTime, 88);
  int first = -1;
  for (int i = 0; i < 200 && first < 0; ++i) {
    if (out[2][i] != 0.0) first = i;
  }
  EXPECT_EQ(first, 45) << "sub-block 1 starts at 44 with a sine at phase 0";
}

TEST_F(EngineTest, HostNotesControllersAndRouting) {
  plug.Start(44100.0);
  plug.SetOutputRouting(kBase, true, 3);
  plug.Set(kVolume, 0.0);
  HostNote(0x90, 36, 100, 10);
  auto out = plug.RenderDouble(kBlock);
  double sum = 0.0, extra = 0.0;
  for (int i = 0; i < kBlock; ++i) {
    sum += std::fabs(out[0][i]) + std::fabs(out[1][i]);
    extra += std::fabs(out[6][i]) + std::fabs(out[7][i]);
  }
  EXPECT_EQ(sum, 0.0) << "Volume 0 silences the sum";
  EXPECT_GT(extra, 0.0) << "extra outputs carry the voice without the volume";
  EXPECT_TRUE(plug.GetHeldNotes().IsHeld(36));

  // A held guiro ends with a zero-velocity note-on, and with controller 123 but not 121.
  auto& guiro = *plug.GetVoice(kGuiro);
  HostNote(0x90, kGuiroNote, 90);
  plug.RenderDouble(kBlock);
  ASSERT_TRUE(guiro.isActive());
  HostNote(0xB0, 121, 0);
  plug.RenderDouble(kBlock);
  EXPECT_TRUE(guiro.isActive());
  HostNote(0xB0, 123, 0);
  plug.RenderDouble(kBlock * 40);
  EXPECT_FALSE(guiro.isActive());
  HostNote(0x90, kGuiroNote, 90);
  plug.RenderDouble(kBlock);
  HostNote(0x90, kGuiroNote, 0);
  plug.RenderDouble(kBlock * 40);
  EXPECT_FALSE(guiro.isActive());
  EXPECT_FALSE(plug.GetHeldNotes().IsHeld(kGuiroNote));
}

TEST_F(EngineTest, TwoVoicesOnOneExtraOutputKeepTheHigherIndex) {
  plug.Start(44100.0);
  plug.SetOutputRouting(kBase, false, 2);
  plug.SetOutputRouting(kRimshot, false, 2);
  plug.Set(kNoteFirst + kRimshot, 36.0);  // both voices answer one note
  plug.Set(kRimshotDecay, 0.5);
  HostNote(0x90, 36, 100);
  auto out = plug.RenderDouble(kBlock);
  const Instrument& rim = *plug.GetVoice(kRimshot);
  EXPECT_TRUE(rim.isActive());
  for (int i = 0; i < kBlock; ++i) EXPECT_EQ(out[0][i], 0.0);
}

TEST_F(EngineTest, HostRewindRestartsOnTheBeatGridAndEndsTheHeldGuiro) {
  plug.Start(44100.0);
  plug.Set(kTempoSync, 1.0);
  plug.transport.mTempo = 120.0;
  plug.transport.mTransportIsRunning = true;
  plug.transport.mPPQPos = 4.0;
  plug.transport.mSamplePos = 4.0 * 22050.0;
  Run(kBlock);
  ASSERT_EQ(NoteEvents(kGuiroNote), std::vector<long long>{0})
      << "held guiro starts with the transport";

  plug.transport.mPPQPos = 0.99;
  plug.transport.mSamplePos = 0.99 * 22050.0;
  sent.clear();
  elapsed = 0;
  Run(kBlock);
  // The first tick was placed 0.24 ticks after the host position; one more tick has been queued.
  EXPECT_NEAR(plug.GetSequencer().nextTick - 0.99 * 22050.0, 0.24 * 918.75 + 918.75, 1e-6);
  const std::vector<long long> guiro = NoteEvents(kGuiroNote);
  ASSERT_EQ(guiro.size(), 2u);
  EXPECT_EQ(guiro[0], 0) << "note-off (time 0) before the new note-on";
  EXPECT_EQ(guiro[1], 220) << "step 0 again, 0.24 ticks after the host position";
  EXPECT_EQ(plug.GetSequencer().step, 1);
}

TEST_F(EngineTest, TempoChangeReGridsOnWholeTicks) {
  plug.Start(44100.0);
  plug.Set(kTempoSync, 1.0);
  plug.transport.mTransportIsRunning = true;
  plug.transport.mTempo = 120.0;
  plug.transport.mPPQPos = 1.0;
  plug.transport.mSamplePos = 22050.0;
  Run(kBlock);
  plug.transport.mTempo = 100.0;
  plug.transport.mPPQPos = 1.0 + kBlock / 22050.0;
  plug.transport.mSamplePos = 22050.0 + kBlock;
  plug.RenderDouble(kBlock);
  const Sequencer& seq = plug.GetSequencer();
  EXPECT_EQ(seq.hostTempo, 100.0);
  EXPECT_DOUBLE_EQ(seq.samplesPerTick, 2.5 / 100.0 * 44100.0);
  const double ticks = seq.nextTick / seq.samplesPerTick;
  EXPECT_NEAR(ticks, std::round(ticks), 1e-9) << "the grid sits on whole ticks";
}

TEST_F(EngineTest, LeavingTempoSyncWhileRunningDoesNotBurst) {
  plug.Start(44100.0);
  plug.Set(kRhythm1 + 1, 1.0);
  plug.Set(kTempoSync, 1.0);
  plug.transport.mTransportIsRunning = true;
  plug.transport.mPPQPos = 100.0;
  plug.transport.mSamplePos = 100.0 * 22050.0;
  Run(kBlock);
  plug.Set(kTempoSync, 0.0);
  sent.clear();
  Run(4096);
  // At most two steps fit in 4096 samples at 120 BPM.
  EXPECT_LE(NoteOnTimes(kTambourineNote).size(), 1u);
  EXPECT_LE(sent.size(), 2u * 2u * 6u);
}

TEST_F(EngineTest, SampleRateChangeWhileActiveRecomputesPitchAndTempo) {
  plug.Start(44100.0);
  plug.SetHostSampleRate(48000.0);
  plug.OnReset();
  auto& drum = dynamic_cast<const Base&>(*plug.GetVoice(kBase));
  EXPECT_EQ(drum.oscillator.increment, static_cast<std::uint32_t>(65.0 * 268435456.0 / 48000.0));
  EXPECT_EQ(plug.GetSequencer().samplesPerTick, 1000.0);
  EXPECT_EQ(plug.MsPeriod(), 48);
}

TEST_F(EngineTest, UnusableRatesNeverHangOrPoisonTheOutput) {
  plug.Start(44100.0);
  for (double rate : {0.0, -1.0, 500.0, std::nan("")}) {
    plug.SetHostSampleRate(rate);
    plug.OnReset();
    plug.Set(kRhythm1 + 1, 1.0);
    plug.ToggleRun(true);
    const auto out = plug.RenderDouble(kBlock);
    for (const auto& channel : out) {
      for (double s : channel) ASSERT_TRUE(std::isfinite(s)) << rate;
    }
    plug.ToggleRun(false);
  }
}

TEST_F(EngineTest, SampleCounterWrapsWithoutBreakingTheLamps) {
  plug.Start(44100.0);
  plug.JumpSampleCounter(0xFFFFFF00u);
  HostNote(0x90, 36, 100);
  plug.RenderDouble(kBlock);
  const std::int32_t trigger = plug.GetVoice(kBase)->triggerTime;
  plug.RenderDouble(kBlock);
  EXPECT_LT(plug.SamplesSince(trigger), 2u * kBlock) << "the difference survives the wrap";
}

}  // namespace

namespace {

TEST_F(EngineTest, RhythmEditsActOnTheEditedSlotAndRebuild) {
  plug.Start(48000.0);
  plug.Set(kRhythm1 + 3, 1.0);  // Rumba in slot 3, which the editor now follows
  ASSERT_EQ(plug.EditedSlot(), 3);
  plug.EditRhythm(kClaves, 0, RhythmEdit::ClearRow);
  EXPECT_TRUE(plug.IsRhythmModified(3));
  for (int s = 0; s < kNumSteps; ++s) EXPECT_EQ(plug.GetCombinedRhythm().grid[kClaves][s], 0);
  plug.SetRhythmTriplet(true);
  EXPECT_TRUE(plug.GetCombinedRhythm().triplet);
  plug.RestoreRhythm(3);
  EXPECT_FALSE(plug.IsRhythmModified(3));
  EXPECT_FALSE(plug.GetCombinedRhythm().triplet);
  plug.CopyRhythm(0, 3);
  EXPECT_TRUE(plug.IsRhythmModified(3));
  EXPECT_EQ(plug.GetCombinedRhythm().active[8], 0) << "Waltz's inactive steps now play in slot 3";
}

TEST_F(EngineTest, PowerOffKeepsTheClockButSilencesTheSteps) {
  plug.Start(48000.0);
  plug.Set(kRhythm1 + 1, 1.0);
  plug.ToggleRun(true);
  Run(3000);
  plug.Set(kPower, 0.0);
  sent.clear();
  Run(12000);
  // Only the guiro held since step 0 ends, at the start of the next block.
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].note, kGuiroNote);
  EXPECT_EQ(sent[0].status, 0x80);
  EXPECT_EQ(sent[0].time, 3000);
  EXPECT_EQ(plug.GetSequencer().step, 5) << "the step counter moved on";
  plug.Set(kPower, 1.0);
  Run(9001);
  EXPECT_EQ(NoteOnTimes(kTambourineNote), std::vector<long long>{3000 + 12000 + 9000})
      << "steps 5 to 7 are silent; step 8 plays";
}

// However the rhythm stops, a guiro note-on the host was sent gets its note-off, or the receiving
// instrument keeps a stuck note. Whatever arises outside a block (the editor's click, a parameter
// from the host's thread) waits for the next block: hosts take MIDI only while processing.
TEST(EngineStopTest, EveryWayOfStoppingEndsTheHeldGuiroAtTheHost) {
  enum Stop { PlaySwitch, LearnedController, HostTransport, PowerOff };
  for (Stop stop : {PlaySwitch, LearnedController, HostTransport, PowerOff}) {
    SCOPED_TRACE(stop);
    FakeHost host;
    host.Start(48000.0);
    host.Set(kRhythm1 + 1, 1.0);  // Samba: the guiro is held over steps 0..3
    if (stop == HostTransport) {
      host.Set(kTempoSync, 1.0);
      host.transport.mTransportIsRunning = true;
      host.transport.mPPQPos = 0.0;
      host.transport.mSamplePos = 0.0;
    } else {
      host.ToggleRun(true);
    }
    std::vector<IMidiMessage> sent;
    auto render = [&] {
      host.sentMidi.clear();
      host.RenderDouble(kBlock);
      sent.insert(sent.end(), host.sentMidi.begin(), host.sentMidi.end());
    };
    for (int i = 0; i < 4; ++i) render();

    host.sentMidi.clear();
    switch (stop) {
      case PlaySwitch:
        host.ToggleRun(false);
        break;
      case LearnedController:
        host.SetControllerTarget(20, Synth::kPlaySwitchTarget);
        host.OnMidiMessage(IMidiMessage(0, 0xB0, 20, 0));
        break;
      case HostTransport:
        host.transport.mTransportIsRunning = false;
        break;
      case PowerOff:
        host.Set(kPower, 0.0);
        break;
    }
    EXPECT_TRUE(host.sentMidi.empty()) << "nothing goes to the host outside a block";
    for (int i = 0; i < 4; ++i) render();

    int on = 0;
    int off = 0;
    for (const IMidiMessage& m : sent) {
      if (m.mData1 != kGuiroNote) continue;
      (m.StatusNibble() == 0x9 ? on : off)++;
    }
    EXPECT_EQ(on, 1);
    EXPECT_EQ(off, 1);
  }
}

// A rewind while playing ends the held guiro at the host and in the engine alike: what is heard
// matches what the host was told.
TEST_F(EngineTest, HostRewindReleasesTheHeldGuiroVoice) {
  plug.Start(44100.0);
  plug.Set(kTempoSync, 1.0);
  plug.transport.mTransportIsRunning = true;
  plug.transport.mPPQPos = 4.0;
  plug.transport.mSamplePos = 4.0 * 22050.0;
  Run(kBlock);
  const auto& guiro = dynamic_cast<const Guiro&>(*plug.GetVoice(kGuiro));
  ASSERT_EQ(guiro.mainEnvelope.stage, Envelope::Decay) << "held";

  plug.transport.mPPQPos = 0.99;
  plug.transport.mSamplePos = 0.99 * 22050.0;
  Run(100);  // the next step (and guiro note) is 220 samples away
  EXPECT_EQ(guiro.mainEnvelope.stage, Envelope::Release);
}

// A tempo or rate change while the internal clock runs keeps the position within the tick: no
// burst of ticks while a position counted at the old tick length catches up.
TEST_F(EngineTest, TempoAndRateJumpsWhileRunningFireNoBurst) {
  plug.Start(44100.0);
  plug.Set(kRhythm1 + 1, 1.0);
  plug.Set(kTempo, 1.0);
  plug.ToggleRun(true);
  Run(44100);  // 40 % into the first tick of 110250 samples
  const int stepBefore = plug.GetSequencer().step;
  plug.Set(kTempo, 240.0);
  sent.clear();
  Run(512);
  EXPECT_EQ(plug.GetSequencer().step, stepBefore) << "a step lasts 1378 samples at 240 BPM";
  EXPECT_TRUE(sent.empty());
  Run(4 * 1378);
  EXPECT_EQ(plug.GetSequencer().step, stepBefore + 4);

  FakeHost host;
  host.Start(96000.0);
  host.Set(kRhythm1 + 1, 1.0);
  host.Set(kTempo, 1.0);
  host.ToggleRun(true);
  for (int i = 0; i < 200; ++i) host.RenderDouble(kBlock);
  const int step = host.GetSequencer().step;
  host.SetHostSampleRate(8000.0);
  host.OnReset();
  host.RenderDouble(kBlock);
  EXPECT_EQ(host.GetSequencer().step, step) << "the tick is as far along as it was";
}

// Constant tempo: the position is left exactly as it was.
TEST_F(EngineTest, ReapplyingTheSameTempoKeepsTheClockWhereItIs) {
  plug.Start(44100.0);
  plug.Set(kRhythm1 + 1, 1.0);
  plug.ToggleRun(true);
  Run(1000);
  const double position = plug.GetSequencer().tickPos;
  plug.Set(kTempo, 120.0);
  EXPECT_EQ(plug.GetSequencer().tickPos, position);
}

// The editor's page decides which slot an automated Rhythm parameter makes the edited one; the
// editor sets it on its own thread while blocks run (the thread sanitizer checks this).
TEST_F(EngineTest, EditorPageChangesWhileRhythmsAreAutomated) {
  plug.Start(48000.0);
  std::thread editor([this] {
    for (int i = 0; i < 2000; ++i) plug.SetEditorPage(i % 3);
  });
  for (int i = 0; i < 200; ++i) {
    plug.Set(kRhythm1 + i % 10, i % 2);
    plug.RenderDouble(64);
  }
  editor.join();
  EXPECT_EQ(plug.EditorPage(), 1999 % 3);
}

TEST_F(EngineTest, AVoiceWithNoteMinusOneIsNeverTriggered) {
  plug.Start(48000.0);
  plug.Set(kNoteFirst + kTambourine, -1.0);
  plug.Set(kRhythm1 + 1, 1.0);
  plug.ToggleRun(true);
  Run(24000);
  EXPECT_FALSE(plug.GetVoice(kTambourine)->isActive());
  EXPECT_EQ(plug.GetVoice(kTambourine)->triggerTime, 0);
}

}  // namespace

// The kernels for wider vectors (the noise filters of three or four voices in one loop, those of
// one or two in the envelopes' loop, the mix) give the very samples the 128-bit ones give,
// voices falling silent at different times.
TEST(EngineVectorsTest, WideAndNarrowVectorsRenderTheSameSamples) {
  if (!WideVectors::enabled) GTEST_SKIP() << "this processor has no 256-bit vectors to compare";
  const bool alongside = Noise::filtersAlongsideEnvelopes;
  const auto play = [alongside](bool wide) {
    WideVectors::enabled = wide;
    Noise::filtersAlongsideEnvelopes = wide && alongside;
    WhiteNoise::reset();
    FakeHost plug;
    plug.Start();
    std::vector<std::vector<double>> all(16);
    const int blocks[] = {512, 37, 64, 200, 1, 511};
    for (int b = 0; b < 40; ++b) {
      // Every voice now and then, a few at a time, so that groups of one to six noise voices
      // form and break up within runs.
      for (int k = 0; k < kNumInstruments; ++k) {
        if ((b + k) % 4 != 0 && (b * k) % 7 != 1) continue;
        const auto note = static_cast<std::uint8_t>(plug.GetVoice(k)->note);
        plug.OnMidiMessage(IMidiMessage((b * 13 + k) % 30, 0x90, note, 100));
      }
      const auto out = plug.RenderDouble(blocks[b % 6]);
      for (int c = 0; c < 16; ++c) all[c].insert(all[c].end(), out[c].begin(), out[c].end());
    }
    return all;
  };
  const auto narrow = play(false);
  const auto wide = play(true);
  WideVectors::enabled = true;
  Noise::filtersAlongsideEnvelopes = alongside;
  for (int c = 0; c < 16; ++c) {
    ASSERT_EQ(narrow[c].size(), wide[c].size());
    for (std::size_t i = 0; i < wide[c].size(); ++i) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(narrow[c][i]),
                std::bit_cast<std::uint64_t>(wide[c][i]))
          << "output " << c << " sample " << i;
    }
  }
}
