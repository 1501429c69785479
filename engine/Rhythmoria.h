#pragma once

#include <emmintrin.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "editor/EditorPages.h"
#include "engine/CombinedRhythm.h"
#include "engine/EngineState.h"
#include "engine/FactoryRhythms.h"
#include "engine/Instruments.h"
#include "engine/ParameterIndex.h"
#include "engine/RhythmBank.h"
#include "engine/Sequencer.h"
#include "synth/Synth.h"
#include "voices/Base.h"
#include "voices/Conga.h"
#include "voices/Guiro.h"
#include "voices/Instrument.h"
#include "voices/Noise.h"
#include "voices/Quijada.h"

// The rhythm machine: fifteen percussion voices, the parameter table, the twenty rhythm slots,
// the sequencer and the mixer. It owns these parts and glues them to the framework; every entry
// point that changes engine data outside a parameter takes the plug-in mutex, so a block never
// sees an edit half done.
class Rhythmoria : public Synth, private SequencerListener {
 public:
  static const IPlugConfig kConfig;
  static constexpr int kNumOutputs = 16;
  static_assert(kNumOutputs <= kMaxReportedOutputs);
  static constexpr int kNumExtraOutputs = 7;
  static constexpr int kSequencePage = 2;

  explicit Rhythmoria(const IPlugInstanceInfo& info);
  ~Rhythmoria() override;

  void OnReset() override;
  void OnParameterChange(int paramIdx) override;
  void ProcessAudio(double** inputs, double** outputs, int nFrames) override;
  void EditorOpened() override;
  // The editor's idle update: samples lamps, step and run state for the editor's next tick.
  // Any thread; the plug-in mutex is taken.
  void HostIdle() override;
  void Layout() override;
  void OnMidiMessage(const IMidiMessage& msg) override;
  void Panic() override;
  void InitParameters() override;
  bool SerializeState(ChunkBuffer& chunk) override;
  int UnserializeState(const ChunkBuffer& chunk, int position) override;
  bool BeginNormalizingStates() override;
  int NormalizeState(const ChunkBuffer& chunk, int position, ChunkBuffer& out) override;
  // "Initialize Program": the current program becomes "Init" with default values, factory rhythms
  // and every voice routed to the sum.
  void InitDefaults() override;
  // The editor's per-instrument reset: the note only, or level, pan, routing and sound.
  void ResetInstrument(int instrument, bool noteOnly);
  // Stores the octave naming and shows it in the editor.
  void SetMiddleC(int value) override;

  // Voice k of the table, in instrument order.
  // Read-only: a voice sounds only through the engine, which keeps track of what sounds.
  const Instrument* GetVoice(int k) const;
  // Brings an open editor up to date with the engine (on its next tick; any thread).
  void RefreshEditor();
  // Lays out an editor made after construction and attaches it (tools and tests); ignored when
  // the instance has one.
  void AdoptEditor(std::unique_ptr<IGraphics> gui);
  // The editor's pages; null without an editor.
  EditorPages* Pages() const { return GetGUI() ? mPages.get() : nullptr; }

  // Editor entry points.
  void ToggleRun(bool restart);
  void SetOutputRouting(int voice, bool toSum, int extraOutput);
  // The slot the sequence page shows and edits.
  void SetEditedSlot(int slot);
  // A key of the settings page pressed (plays every voice on note) or released.
  void PreviewNote(int note, bool pressed);
  bool ToSum(int voice) const;
  int ExtraOutput(int voice) const;
  // Applies an edit to the rhythm bank and rebuilds what plays; fn receives the bank.
  template <typename Fn>
  void EditRhythms(Fn&& fn) {
    ScopedLock lock(mMutex);
    fn(mRhythmBank);
    RebuildRhythm();
    RefreshEditor();
  }

  // Rhythm editing, each one step under the plug-in mutex; the edits work on the slot the sequence
  // editor shows (EditedSlot).
  void ResetRhythms();
  void RestoreRhythm(int slot);
  void CopyRhythm(int source, int target);
  bool IsRhythmModified(int slot) const { return mRhythmBank.IsModified(slot); }
  void EditRhythm(int row, int step, RhythmEdit op);
  void SetActiveSteps(int templateIndex);
  void SetRhythmCell(int row, int step, bool hit);
  void SetRhythmTriplet(bool on);
  void RebuildRhythm();

  // Standard MIDI Files: export the edited slot, or with allPlaying the combined rhythm that
  // plays; import into the edited slot. The file is read and written outside the plug-in mutex.
  bool ExportRhythmMidi(const std::filesystem::path& path, bool type1, bool allPlaying);
  bool ImportRhythmMidi(const std::filesystem::path& path, bool asTriplets);
  const RhythmBank& GetRhythmBank() const { return mRhythmBank; }
  const CombinedRhythm& GetCombinedRhythm() const { return mCombined; }
  const Sequencer& GetSequencer() const { return mSequencer; }
  int EditedSlot() const { return mEditedSlot; }
  // The editor's page decides which slot rhythm edits work on (RebuildRhythm reads it on the
  // audio thread when a Rhythm parameter is automated), so it changes under the plug-in mutex.
  void SetEditorPage(int page) {
    ScopedLock lock(mMutex);
    mEditorPage = page;
  }
  int EditorPage() const { return mEditorPage; }
  bool AnySelected() const { return mAnySelected != 0; }
  bool IsSlotSelected(int slot) const;
  double VolumeGain() const { return mVolumeGain; }
  bool Power() const { return mPower != 0; }

  // Samples per millisecond at the current rate.
  int MsPeriod() const { return mMsPeriod; }
  int MsCountdown() const { return mMsCountdown; }
  // Running sample count of the sub-block grid; wraps (defined) after 2^32 samples. Compare with
  // a voice's triggerTime through SamplesSince, which stays right across the wrap.
  std::int32_t SampleCounter() const { return static_cast<std::int32_t>(mSampleCounter); }
  std::uint32_t SamplesSince(std::int32_t time) const {
    return mSampleCounter - static_cast<std::uint32_t>(time);
  }

 protected:
  void LearnFinished() override;

  // SequencerListener
  void StepNote(int voice, bool noteOn, int queueOffset) override;
  void HostNoteOff(int voice) override;

  // The start-up bank of the settings file, or else the factory bank the plug-in carries.
  void LoadStartupPrograms();
  void ApplySampleRate(double rate);
  void ApplyVoiceParameter(int paramIdx, double v);
  void ApplyBalance(double n);
  void DrainInputQueue(int limit);
  void DispatchEvent(const IMidiMessage& msg);
  // A program change from MIDI input makes that program current.
  void ProgramChangeFromMidi(int program);
  // Sends what was kept that falls in the current host block.
  void SendPendingHostMessages();
  // blockOffset counts from the start of the piece being rendered.
  void SendNoteToHost(int voice, bool noteOn, int blockOffset);
  // Sends msg at the given distance from the start of the current host block, or keeps it for
  // the block in which it falls.
  void SendOrKeepForHost(IMidiMessage msg, std::int64_t samplesFromBlockStart);
  // Renders and mixes frames [start, start + n) of the block, n <= kRenderChunk, during which no
  // voice is triggered or released.
  void RenderChunk(double** outputs, int start, int n);
  // Returns whether the noise voices were rendered too (see RenderEnvelopes()).
  bool RenderEnvelopes(int n);
  void RebuildEnvelopeList();
  void RenderNoiseVoices(int n);
  void RenderSineVoices();
  // A voice's samples in the chunk as they go into the sums, with its weights there (1 - pan
  // and pan, in both halves of a vector).
  struct SummedVoice {
    const double* samples;
    __m128d left;
    __m128d right;
    int length;
  };
  static void MixSums(const SummedVoice* voices, int count, double gain, double* left,
                      double* right, int from, int to);
  // MixSums with 256-bit vectors, sixteen samples at a time from from while they last; returns
  // where it stopped. Only where WideVectors are enabled.
  static int MixSumsWide(const SummedVoice* voices, int count, double gain, double* left,
                         double* right, int from, int to);
  // Zeroes output c over the whole piece being rendered, the first time it is about to be written.
  void ClaimOutput(double** outputs, int c) {
    const std::uint64_t bit = std::uint64_t{1} << c;
    if ((mWrittenOutputs & bit) != 0) return;
    std::fill(outputs[c], outputs[c] + mPieceLength, 0.0);
    mWrittenOutputs |= bit;
  }

  // Voices by value; the table below reaches them in instrument order.
  Base mBaseDrum;
  Noise mSnare1;
  Noise mSnare2;
  Base mSmallBongo;
  Base mLargeBongo;
  Conga mConga;
  Conga mCowbell;
  Base mClaves;
  Noise mHihat;
  Base mRimshot;
  Noise mCymbal1;
  Noise mCymbal2;
  Noise mTambourine;
  Guiro mGuiro;
  Quijada mQuijada;
  std::array<Instrument*, kNumInstruments> mVoices{};
  // Where each envelope of the chunk's envelope pass writes, and whose length it gives (the
  // instrument index, or -1 to -4 for the conga's and the cowbell's two tones): the single-sine
  // voices', the noise voices', then the tones' and the guiro's and quijada's note envelopes.
  // A noise voice's slot carries its bit (1 << v for mNoiseVoices[v]); the others carry 0.
  struct EnvelopeSlot {
    Envelope* envelope;
    double* values;
    int index;
    std::uint32_t noiseBit = 0;
  };
  static constexpr int kNumEnvelopeSlots = 5 + 6 + 6;
  std::array<EnvelopeSlot, kNumEnvelopeSlots> mEnvelopeSlots{};
  // The envelopes sounding, in slot order (the first count entries), and the noise voices among
  // them (bit v for mNoiseVoices[v]). Only a trigger wakes an envelope, and the engine makes every
  // trigger: so the list is kept from chunk to chunk, losing those that fall silent in a chunk,
  // and scanned afresh from the slots only where the engine has triggered, released or reset
  // voices (mEnvelopeListStale).
  struct {
    std::array<Envelope*, kNumEnvelopeSlots> envelopes{};
    std::array<double*, kNumEnvelopeSlots> values{};
    std::array<int, kNumEnvelopeSlots> lengths{};
    std::array<int, kNumEnvelopeSlots> index{};
    std::array<std::uint32_t, kNumEnvelopeSlots> noiseBit{};
    int count = 0;
    std::uint32_t noise = 0;
  } mEnvelopeList;
  bool mEnvelopeListStale = true;
  // The single-sine voices and the noise voices in instrument order, with their indices.
  std::array<Base*, 5> mSineVoices{};
  std::array<int, 5> mSineIndices{};
  std::array<Noise*, 6> mNoiseVoices{};
  std::array<int, 6> mNoiseIndices{};

  std::unique_ptr<EditorPages> mPages = std::make_unique<EditorPages>(*this);
  double mLastSampleRate = -1.0;
  int mEditedSlot = 0;
  int mEditorPage = 0;

  RhythmBank mRhythmBank;
  CombinedRhythm mCombined{};
  std::array<std::uint8_t, kNumRhythmSlots> mSelected{};
  std::uint8_t mAnySelected = 0;
  Sequencer mSequencer{*this, mCombined};

  // The engine's view of the front-panel parameters.
  std::uint8_t mPower = 1;
  std::uint8_t mRhythmButton[kNumRhythmButtons] = {};
  std::uint8_t mRowAbove = 1;
  double mVolumeGain = 0.5;

  // Mixer routing per voice.
  std::array<std::uint8_t, kNumInstruments> mToSum{};
  std::array<std::int32_t, kNumInstruments> mExtraOutput{};

  // True while the constructor loads the start-up programs. A fresh engine is stopped, silent
  // and holds no notes, so a bank's programs can be stored without applying each: what applying
  // would leave behind (the routing a payload without one keeps, the slot the sequence editor
  // follows) is tracked in mNormalizing instead.
  bool mNormalizeBankLoads = false;
  struct {
    std::array<std::uint8_t, kNumInstruments> toSum{};
    std::array<std::int32_t, kNumInstruments> extraOutput{};
    std::uint8_t rhythmButton[kNumRhythmButtons] = {};
    std::uint8_t rowAbove = 1;
  } mNormalizing;

  // Room to parse a state into before applying it; a member so that a program change arriving
  // on the audio thread never allocates.
  EngineState mStateScratch;

  // Voices render a stretch of samples each, one voice after the other, and are then mixed
  // sample by sample in instrument order (the sums come out as if mixed sample by sample).
  static constexpr int kRenderChunk = 64;
  static_assert(kRenderChunk <= Instrument::kMaxRender);
  static_assert(kRenderChunk <= Envelope::kMaxRenderLength);
  static constexpr int kNumNoiseVoices = 6;
  static constexpr int kNumSineVoices = 5;
  alignas(32) double mVoiceOut[kNumInstruments][kRenderChunk] = {};
  std::array<int, kNumInstruments> mVoiceLength{};
  // For one chunk, each noise voice's envelope values (by voice) and the sounding noise voices'
  // white noise (in the order they sound).
  alignas(32) double mNoiseEnvelope[kNumNoiseVoices][kRenderChunk] = {};
  alignas(32) double mNoiseWhite[kNumNoiseVoices][kRenderChunk] = {};
  // For one chunk, the second tone's envelope values of the conga and the cowbell, and the
  // lengths of their tones (conga 1 and 2, cowbell 1 and 2).
  alignas(32) double mSecondTone[2][kRenderChunk] = {};
  // The tick envelopes of the noise voices whose filters run alongside the envelopes, as they
  // were before the run, for the hand-back; a member, so that none is constructed per chunk.
  std::array<Envelope, 2> mTicksBeforeRun{};
  std::array<int, 4> mToneLength{};

  // The outputs of the piece zeroed (and then written) so far, and its length.
  std::uint64_t mWrittenOutputs = 0;
  static constexpr std::uint64_t kSumOutputs = 0b11;
  int mPieceLength = 0;

  MidiEventFifo mEventList;
  std::uint32_t mSampleCounter = 0;
  // Position of the sample being rendered within the current block, for MIDI sent to the host.
  int mBlockSample = 0;

  // MIDI for the host that cannot go out yet: note-offs that fall beyond the host block in which
  // their note began, and messages that arise outside a block (the editor's thread, the
  // dispatcher), since hosts take MIDI output only while processing. Each goes out in the block
  // where it falls: each is kept with its position on the host's timeline (the samples of every
  // host block so far, counted from 0), so that a block in which none falls need not look at
  // them.
  struct PendingHostMessage {
    IMidiMessage msg;
    std::int64_t due;
  };
  static constexpr int kMaxPendingHostMessages = 256;
  std::array<PendingHostMessage, kMaxPendingHostMessages> mPendingHostMessages{};
  int mNumPendingHostMessages = 0;
  std::int64_t mEarliestPendingDue = INT64_MAX;
  // The host block being rendered (or, between blocks, the last one): where it starts on that
  // timeline, and its length in frames.
  std::int64_t mHostBlockStart = 0;
  int mCurrentBlockLength = 0;
  bool mInsideBlock = false;

 public:
  // The menus' program and MIDI file commands reach the engine through these.
  bool ExportRhythmFile(const std::string& path, bool type1, bool allPlaying) override {
    return ExportRhythmMidi(path, type1, allPlaying);
  }
  bool ImportRhythmFile(const std::string& path, bool asTriplets) override {
    return ImportRhythmMidi(path, asTriplets);
  }
  int EditedRhythmSlot() const override { return mEditedSlot; }
  bool RhythmSlotModified(int slot) const override { return IsRhythmModified(slot); }
  const char* FactoryRhythmName(int slot) const override { return FactoryRhythms::Name(slot); }
};
