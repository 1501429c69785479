#include "engine/Rhythmoria.h"

#include <algorithm>
#include <cmath>

#include "editor/IGraphics.h"
#include "engine/ParameterTable.h"
#include "resources/EmbeddedResources.h"
#include "synth/MidiFile.h"

const IPlugConfig Rhythmoria::kConfig = {
    .effectName = "Rhythmoria",
    .productName = "",
    .mfrName = "Morvane Music",
    .uniqueID = FourCharCode("krx7"),
    .mfrID = FourCharCode("MoVn"),
    .version = 0x00010106,
    .channelIOString = "0-2 0-4 0-6 0-8 0-10 0-12 0-14 0-16",
    .nParams = kNumParams,
    .nPrograms = 64,
    .doesChunks = true,
    .isInstrument = true,
    .handlesMidi = true,
    .latency = 0,
    .pluginApi = 0,
};

namespace {

const char* const kOutputNames[Rhythmoria::kNumOutputs] = {
    "Sum L",     "Sum R",     "Extra 1 L", "Extra 1 R", "Extra 2 L", "Extra 2 R",
    "Extra 3 L", "Extra 3 R", "Extra 4 L", "Extra 4 R", "Extra 5 L", "Extra 5 R",
    "Extra 6 L", "Extra 6 R", "Extra 7 L", "Extra 7 R"};

// The conga's second tone until its level parameter is applied.
constexpr double kInitialCongaLevel2 = 0.15;

bool IsOn(double normalized) {
  return normalized >= 0.5;
}

}  // namespace

Rhythmoria::Rhythmoria(const IPlugInstanceInfo& info) : Synth(info, kConfig) {
  mToSum.fill(1);
  mExtraOutput.fill(0);
  for (int i = 0; i < kNumOutputs; ++i) SetOutputLabel(i, kOutputNames[i]);
  InitParameters();

  mVoices = {&mBaseDrum, &mSnare1,  &mSnare2,     &mSmallBongo, &mLargeBongo,
             &mConga,    &mCowbell, &mClaves,     &mHihat,      &mRimshot,
             &mCymbal1,  &mCymbal2, &mTambourine, &mGuiro,      &mQuijada};
  mConga.setLevel2(kInitialCongaLevel2);
  mSineVoices = {&mBaseDrum, &mSmallBongo, &mLargeBongo, &mClaves, &mRimshot};
  mSineIndices = {kBase, kSmallBongo, kLargeBongo, kClaves, kRimshot};
  mNoiseVoices = {&mSnare1, &mSnare2, &mHihat, &mCymbal1, &mCymbal2, &mTambourine};
  mNoiseIndices = {kSnare1, kSnare2, kHihat, kCymbal1, kCymbal2, kTambourine};
  std::size_t slot = 0;
  for (std::size_t v = 0; v < mSineVoices.size(); ++v) {
    mEnvelopeSlots[slot++] = {&mSineVoices[v]->envelope, mVoiceOut[mSineIndices[v]],
                              mSineIndices[v]};
  }
  for (std::size_t v = 0; v < mNoiseVoices.size(); ++v) {
    mEnvelopeSlots[slot++] = {&mNoiseVoices[v]->envelope, mNoiseEnvelope[v], mNoiseIndices[v],
                              1u << v};
  }
  mEnvelopeSlots[slot++] = {&mConga.envelope1, mVoiceOut[kConga], -1};
  mEnvelopeSlots[slot++] = {&mConga.envelope2, mSecondTone[0], -2};
  mEnvelopeSlots[slot++] = {&mCowbell.envelope1, mVoiceOut[kCowbell], -3};
  mEnvelopeSlots[slot++] = {&mCowbell.envelope2, mSecondTone[1], -4};
  mEnvelopeSlots[slot++] = {&mGuiro.mainEnvelope, mVoiceOut[kGuiro], kGuiro};
  mEnvelopeSlots[slot++] = {&mQuijada.mainEnvelope, mVoiceOut[kQuijada], kQuijada};

  mSequencer.Restart();
  Panic();
  mSequencer.running = 0;
  // Hosts may process before they ever set a rate; start from the default one so the
  // millisecond grid is valid from the first block.
  OnReset();
  LoadStartupPrograms();
  RebuildRhythm();
  if (mEditorToAttach) AdoptEditor(std::move(mEditorToAttach));
}

void Rhythmoria::AdoptEditor(std::unique_ptr<IGraphics> gui) {
  if (!gui || GetGUI()) return;
  mEditorToAttach = std::move(gui);
  Layout();
  AttachEditor(mEditorToAttach.release());
}

void Rhythmoria::Layout() {
  if (mEditorToAttach) mPages->Layout(*mEditorToAttach);
}

void Rhythmoria::LoadStartupPrograms() {
  mNormalizeBankLoads = true;
  if (!TryLoadStartupBank()) {
    const EmbeddedResource bank = FindEmbeddedResource("PROGINIT", "PROGDATA");
    // The resource is part of the loaded module, so it outlives every instance.
    if (bank.data) LoadBankFromMemory(bank.data, bank.size, true);
  }
  mNormalizeBankLoads = false;
}

void Rhythmoria::SetMiddleC(int value) {
  Synth::SetMiddleC(value);
  RefreshEditor();
}

Rhythmoria::~Rhythmoria() = default;

void Rhythmoria::InitParameters() {
  for (int i = 0; i < NParams(); ++i) InitParameterFromTable(*GetParam(i), i);
}

const Instrument* Rhythmoria::GetVoice(int k) const {
  if (k < 0 || k >= kNumInstruments) return nullptr;
  return mVoices[static_cast<std::size_t>(k)];
}

void Rhythmoria::OnReset() {
  ScopedLock lock(mMutex);
  Synth::OnReset();
  mEventList.Reserve(mMidiInputQueue.Capacity());
  const double rate = GetSampleRate();
  if (rate == mLastSampleRate) return;
  // A host may announce 0 or nonsense around creation: voices and clock keep the last usable
  // rate rather than divide by zero, and the millisecond grid never drops below one sample.
  const bool usable = std::isfinite(rate) && rate >= 1.0 && rate <= 1.0e7;
  const bool changedWhileRunning = mLastSampleRate > 0.0;
  mLastSampleRate = rate;
  if (!usable) {
    mMsPeriod = std::max(mMsPeriod, 1);
    return;
  }
  ApplySampleRate(rate);
  // Hosts change the rate without deactivating: what was derived from the old rate (pitches,
  // filter coefficients, envelope rates, tick length) is recomputed now rather than at the next
  // activation.
  if (changedWhileRunning) {
    for (int i = kBaseFrequency; i < kReservedFirst; ++i)
      ApplyVoiceParameter(i, GetParam(i)->Value());
    mSequencer.UpdateTempo();
  }
}

void Rhythmoria::ApplySampleRate(double rate) {
  mEnvelopeListStale = true;
  for (Instrument* voice : mVoices) voice->setSampleRate(rate);
  mSequencer.SetSampleRate(rate);
  mMsPeriod = std::max(static_cast<int>(rate) / 1000, 1);
}

void Rhythmoria::OnParameterChange(int paramIdx) {
  ScopedLock lock(mMutex);
  Synth::OnParameterChange(paramIdx);
  const IParameter* param = GetParam(paramIdx);
  if (!param) return;
  const double v = param->Value();
  const double n = param->GetNormalizedValue();

  if (paramIdx >= kLevelFirst && paramIdx < kPanFirst) {
    Instrument& voice = *mVoices[static_cast<std::size_t>(paramIdx - kLevelFirst)];
    voice.level = v;
    voice.gain = v * voice.balance;
    voice.velocity = static_cast<std::int32_t>(std::round(n * 127.0));
    return;
  }
  if (paramIdx >= kPanFirst && paramIdx < kNoteFirst) {
    mVoices[static_cast<std::size_t>(paramIdx - kPanFirst)]->pan = n;
    return;
  }
  if (paramIdx >= kNoteFirst && paramIdx < kBaseFrequency) {
    mVoices[static_cast<std::size_t>(paramIdx - kNoteFirst)]->note = static_cast<std::int32_t>(v);
    return;
  }

  switch (paramIdx) {
    case kVolume:
      mVolumeGain = v * 0.5;
      break;
    case kPower:
      mPower = IsOn(n) ? 1 : 0;
      mSequencer.SetPower(mPower);
      Panic();
      break;
    case kTempo:
      mSequencer.SetTempo(v);
      break;
    case kTempoSync:
      mSequencer.SetTempoSync(IsOn(n));
      break;
    case kQuijadaBalance:
    case kGuiroBalance:
    case kTambourineBalance: {
      Instrument& voice =
          *mVoices[static_cast<std::size_t>(paramIdx == kQuijadaBalance ? kQuijada
                                            : paramIdx == kGuiroBalance ? kGuiro
                                                                        : kTambourine)];
      voice.balance = v;
      voice.gain = v * voice.level;
      break;
    }
    case kBalance:
      ApplyBalance(n);
      break;
    case kRhythmRow:
      mRowAbove = IsOn(n) ? 1 : 0;
      RebuildRhythm();
      break;
    default:
      if (paramIdx >= kRhythm1 && paramIdx < kRhythm1 + kNumRhythmButtons) {
        mRhythmButton[paramIdx - kRhythm1] = IsOn(n) ? 1 : 0;
        RebuildRhythm();
      } else if (paramIdx >= kBaseFrequency && paramIdx < kReservedFirst) {
        ApplyVoiceParameter(paramIdx, v);
      }
      break;
  }
  HostIdle();
}

void Rhythmoria::ApplyBalance(double n) {
  // The bass drum against hihat and cymbals: at the centre all four play at full level.
  const double b = 1.6 * n;
  const double drumBalance = n < 0.5 ? 1.0 : 1.8 - b;
  const double metalBalance = n < 0.5 ? b + 0.2 : 1.0;
  mBaseDrum.balance = drumBalance;
  mBaseDrum.gain = drumBalance * mBaseDrum.level;
  for (Instrument* voice :
       {static_cast<Instrument*>(&mCymbal1), static_cast<Instrument*>(&mCymbal2),
        static_cast<Instrument*>(&mHihat)}) {
    voice->balance = metalBalance;
    voice->gain = metalBalance * voice->level;
  }
}

void Rhythmoria::ApplyVoiceParameter(int paramIdx, double v) {
  switch (paramIdx) {
    case kBaseFrequency:
      mBaseDrum.setFrequency(v);
      break;
    case kBaseAttack:
      mBaseDrum.setAttack(v);
      break;
    case kBaseDecay:
      mBaseDrum.setDecay(v);
      break;
    case kSnare1Frequency:
      mSnare1.setFrequency(v);
      break;
    case kSnare1Attack:
      mSnare1.setAttack(v);
      break;
    case kSnare1Decay:
      mSnare1.setDecay(v);
      break;
    case kSnare1Resonance:
      mSnare1.setResonance(v);
      break;
    case kSnare1Tick:
      mSnare1.setTick(v);
      break;
    case kSnare1Highpass:
      mSnare1.setHighpass(v);
      break;
    case kSnare2Frequency:
      mSnare2.setFrequency(v);
      break;
    case kSnare2Attack:
      mSnare2.setAttack(v);
      break;
    case kSnare2Decay:
      mSnare2.setDecay(v);
      break;
    case kSnare2Resonance:
      mSnare2.setResonance(v);
      break;
    case kSnare2Tick:
      mSnare2.setTick(v);
      break;
    case kSnare2Highpass:
      mSnare2.setHighpass(v);
      break;
    case kSmallBongoFrequency:
      mSmallBongo.setFrequency(v);
      break;
    case kSmallBongoAttack:
      mSmallBongo.setAttack(v);
      break;
    case kSmallBongoDecay:
      mSmallBongo.setDecay(v);
      break;
    case kLargeBongoFrequency:
      mLargeBongo.setFrequency(v);
      break;
    case kLargeBongoAttack:
      mLargeBongo.setAttack(v);
      break;
    case kLargeBongoDecay:
      mLargeBongo.setDecay(v);
      break;
    case kCongaFrequency1:
      mConga.setFrequency1(v);
      break;
    case kCongaAttack:
      mConga.setAttack(v);
      break;
    case kCongaDecay1:
      mConga.setDecay1(v);
      break;
    case kCongaLevel2:
      mConga.setLevel2(v);
      break;
    case kCongaFrequency2:
      mConga.setFrequency2(v);
      break;
    case kCongaDecay2:
      mConga.setDecay2(v);
      break;
    case kCowbellFrequency1:
      mCowbell.setFrequency1(v);
      break;
    case kCowbellAttack:
      mCowbell.setAttack(v);
      break;
    case kCowbellDecay1:
      mCowbell.setDecay1(v);
      break;
    case kCowbellFrequency2:
      mCowbell.setFrequency2(v);
      break;
    case kCowbellLevel2:
      mCowbell.setLevel2(v);
      break;
    case kCowbellDecay2:
      mCowbell.setDecay2(v);
      break;
    case kClavesFrequency:
      mClaves.setFrequency(v);
      break;
    case kClavesAttack:
      mClaves.setAttack(v);
      break;
    case kClavesDecay:
      mClaves.setDecay(v);
      break;
    case kHihatFrequency:
      mHihat.setFrequency(v);
      break;
    case kHihatAttack:
      mHihat.setAttack(v);
      break;
    case kHihatDecay:
      mHihat.setDecay(v);
      break;
    case kHihatResonance:
      mHihat.setResonance(v);
      break;
    case kRimshotFrequency:
      mRimshot.setFrequency(v);
      break;
    case kRimshotAttack:
      mRimshot.setAttack(v);
      break;
    case kRimshotDecay:
      mRimshot.setDecay(v);
      break;
    case kCymbal1Frequency:
      mCymbal1.setFrequency(v);
      break;
    case kCymbal1Attack:
      mCymbal1.setAttack(v);
      break;
    case kCymbal1Decay:
      mCymbal1.setDecay(v);
      break;
    case kCymbal1Resonance:
      mCymbal1.setResonance(v);
      break;
    case kCymbal1Highpass:
      mCymbal1.setHighpass(v);
      break;
    case kCymbal2Frequency:
      mCymbal2.setFrequency(v);
      break;
    case kCymbal2Attack:
      mCymbal2.setAttack(v);
      break;
    case kCymbal2Decay:
      mCymbal2.setDecay(v);
      break;
    case kCymbal2Resonance:
      mCymbal2.setResonance(v);
      break;
    case kCymbal2Highpass:
      mCymbal2.setHighpass(v);
      break;
    case kTambourineFrequency:
      mTambourine.setFrequency(v);
      break;
    case kTambourineAttack:
      mTambourine.setAttack(v);
      break;
    case kTambourineDecay:
      mTambourine.setDecay(v);
      break;
    case kTambourineResonance:
      mTambourine.setResonance(v);
      break;
    case kTambourineHighpass:
      mTambourine.setHighpass(v);
      break;
    case kGuiroFrequency:
      mGuiro.setFrequency(v);
      break;
    case kGuiroRate:
      mGuiro.setRate(v);
      break;
    case kGuiroDensity:
      mGuiro.setDensity(v);
      break;
    case kQuijadaFrequency:
      mQuijada.setFrequency(v);
      break;
    case kQuijadaAttack:
      mQuijada.setAttack(v);
      break;
    case kQuijadaDecay:
      mQuijada.setDecay(v);
      break;
    case kQuijadaRate:
      mQuijada.setRate(v);
      break;
    case kQuijadaDensity:
      mQuijada.setDensity(v);
      break;
    default:
      break;
  }
}

void Rhythmoria::RebuildRhythm() {
  ScopedLock lock(mMutex);
  const RhythmSelection selection = mCombined.Rebuild(mRhythmBank, mRhythmButton, mRowAbove);
  std::copy(std::begin(selection.selected), std::end(selection.selected), mSelected.begin());
  mAnySelected = selection.anySelected;
  mSequencer.SetAnySelected(mAnySelected);
  if (mEditorPage != kSequencePage && !mSelected[static_cast<std::size_t>(mEditedSlot)]) {
    mEditedSlot = selection.first;
    RefreshEditor();
  }
}

void Rhythmoria::ResetRhythms() {
  ScopedLock lock(mMutex);
  mRhythmBank.ResetFromFactory();
}

void Rhythmoria::RestoreRhythm(int slot) {
  EditRhythms([slot](RhythmBank& bank) { bank.Restore(slot); });
}

void Rhythmoria::CopyRhythm(int source, int target) {
  EditRhythms([source, target](RhythmBank& bank) { bank.Copy(source, target); });
}

void Rhythmoria::EditRhythm(int row, int step, RhythmEdit op) {
  EditRhythms([this, row, step, op](RhythmBank& bank) { bank.Edit(mEditedSlot, row, step, op); });
}

void Rhythmoria::SetActiveSteps(int templateIndex) {
  EditRhythms(
      [this, templateIndex](RhythmBank& bank) { bank.SetActiveSteps(mEditedSlot, templateIndex); });
}

void Rhythmoria::SetRhythmCell(int row, int step, bool hit) {
  ScopedLock lock(mMutex);
  mRhythmBank.SetCell(mEditedSlot, row, step, hit);
  RebuildRhythm();
}

void Rhythmoria::SetRhythmTriplet(bool on) {
  ScopedLock lock(mMutex);
  mRhythmBank.SetTriplet(mEditedSlot, on);
  RebuildRhythm();
}

bool Rhythmoria::IsSlotSelected(int slot) const {
  return slot >= 0 && slot < kNumRhythmSlots && mSelected[static_cast<std::size_t>(slot)];
}

void Rhythmoria::EditorOpened() {
  if (!GetGUI()) return;
  // The window opens on the editor's thread: bring it up to date at once.
  mPages->RefreshNow();
  HostIdle();
  mPages->ApplyPending();
}

void Rhythmoria::RefreshEditor() {
  if (!GetGUI()) return;
  mPages->RequestRefresh();
  SyncEditorToParams();
}

void Rhythmoria::HostIdle() {
  if (!GetGUI()) return;
  ScopedLock lock(mMutex);
  mPages->StoreIdleState();
}

void Rhythmoria::LearnFinished() {
  if (GetGUI()) mPages->RequestLearnSwitchOff();
}

void Rhythmoria::SetEditedSlot(int slot) {
  ScopedLock lock(mMutex);
  if (slot < 0 || slot >= kNumRhythmSlots) return;
  mEditedSlot = slot;
}

void Rhythmoria::PreviewNote(int note, bool pressed) {
  ScopedLock lock(mMutex);
  if (note < 0 || note > 127) return;
  if (!pressed) ClearHeldNote(note);
  int velocity = 0;
  mEnvelopeListStale = true;
  for (Instrument* voice : mVoices) {
    if (voice->note != note) continue;
    if (pressed) {
      if (velocity == 0) velocity = voice->velocity;
      voice->trigger(SampleCounter());
    } else {
      voice->release();
    }
  }
  if (pressed) SetHeldNote(note, velocity);
}

void Rhythmoria::Panic() {
  ScopedLock lock(mMutex);
  mHeldNotes.ClearAll();
  mEventList.Clear();
  mEnvelopeListStale = true;
  for (Instrument* voice : mVoices) voice->release();
}

void Rhythmoria::ToggleRun(bool restart) {
  ScopedLock lock(mMutex);
  mSequencer.ToggleRun(restart);
}

void Rhythmoria::SetOutputRouting(int voice, bool toSum, int extraOutput) {
  ScopedLock lock(mMutex);
  if (voice < 0 || voice >= kNumInstruments) return;
  mToSum[static_cast<std::size_t>(voice)] = toSum ? 1 : 0;
  mExtraOutput[static_cast<std::size_t>(voice)] = extraOutput;
}

bool Rhythmoria::ToSum(int voice) const {
  return voice >= 0 && voice < kNumInstruments && mToSum[static_cast<std::size_t>(voice)];
}

int Rhythmoria::ExtraOutput(int voice) const {
  if (voice < 0 || voice >= kNumInstruments) return 0;
  return mExtraOutput[static_cast<std::size_t>(voice)];
}

void Rhythmoria::ProgramChangeFromMidi(int program) {
  // Unlike a selection in the editor, the live state is not stored into the program being left.
  RestoreProgram(program);
}

bool Rhythmoria::SerializeState(ChunkBuffer& chunk) {
  ScopedLock lock(mMutex);
  // The reserved parameters always store 0.
  for (int i = kReservedFirst; i < kNumParams; ++i) GetParam(i)->SetClamped(0.0);
  for (int i = 0; i < kNumParams; ++i) {
    mStateScratch.params[static_cast<std::size_t>(i)] = GetParam(i)->Value();
  }
  mStateScratch.rhythms = mRhythmBank;
  mStateScratch.toSum = mToSum;
  mStateScratch.extraOutput = mExtraOutput;
  const int current = GetCurrentProgram();
  const int sizeBefore = chunk.Size();
  WriteStatePayload(chunk, current, GetProgramName(current), mStateScratch);
  return chunk.Size() > sizeBefore;
}

int Rhythmoria::UnserializeState(const ChunkBuffer& chunk, int position) {
  ScopedLock lock(mMutex);
  position = ReadStatePayload(chunk, position, mStateScratch);
  if (position < 0) return -1;
  for (int i = 0; i < kNumParams; ++i) {
    GetParam(i)->SetClamped(mStateScratch.params[static_cast<std::size_t>(i)]);
  }
  {
    // Loading a program is not a user's gesture: an armed MIDI learn keeps waiting for one.
    LearnPause pause(*this);
    for (int i = 0; i < kNumParams; ++i) OnParameterChange(i);
  }
  mRhythmBank = mStateScratch.rhythms;
  switch (mStateScratch.routing) {
    case EngineState::Routing::Keep:
      break;
    case EngineState::Routing::ResetToSum:
      mToSum.fill(1);
      mExtraOutput.fill(0);
      break;
    case EngineState::Routing::Read:
      mToSum = mStateScratch.toSum;
      mExtraOutput = mStateScratch.extraOutput;
      break;
  }
  RebuildRhythm();
  RefreshEditor();
  return position;
}

bool Rhythmoria::BeginNormalizingStates() {
  ScopedLock lock(mMutex);
  if (!mNormalizeBankLoads) return false;
  mNormalizing.toSum = mToSum;
  mNormalizing.extraOutput = mExtraOutput;
  std::copy(std::begin(mRhythmButton), std::end(mRhythmButton), mNormalizing.rhythmButton);
  mNormalizing.rowAbove = mRowAbove;
  return true;
}

int Rhythmoria::NormalizeState(const ChunkBuffer& chunk, int position, ChunkBuffer& out) {
  ScopedLock lock(mMutex);
  EngineState& state = mStateScratch;
  int rhythmBlock = 0;
  position = ScanStatePayload(chunk, position, state, &rhythmBlock);
  if (position < 0) return -1;
  // The values as the parameters would hold them, the reserved ones as SerializeState stores them.
  for (int i = 0; i < kNumParams; ++i) {
    double& value = state.params[static_cast<std::size_t>(i)];
    value = GetParam(i)->Clamp(i < kReservedFirst ? value : 0.0);
  }
  // Each rhythm switch applied in turn rebuilds the selection, and the sequence editor's slot
  // follows it unless that page is open.
  for (int i = kRhythm1; i <= kRhythmRow; ++i) {
    const bool on = IsOn(GetParam(i)->ToNormalized(state.params[static_cast<std::size_t>(i)]));
    if (i == kRhythmRow) {
      mNormalizing.rowAbove = on ? 1 : 0;
    } else {
      mNormalizing.rhythmButton[i - kRhythm1] = on ? 1 : 0;
    }
    const RhythmSelection selection =
        SelectRhythms(mNormalizing.rhythmButton, mNormalizing.rowAbove);
    if (mEditorPage != kSequencePage && !selection.selected[mEditedSlot]) {
      mEditedSlot = selection.first;
    }
  }
  switch (state.routing) {
    case EngineState::Routing::Keep:
      break;
    case EngineState::Routing::ResetToSum:
      mNormalizing.toSum.fill(1);
      mNormalizing.extraOutput.fill(0);
      break;
    case EngineState::Routing::Read:
      mNormalizing.toSum = state.toSum;
      mNormalizing.extraOutput = state.extraOutput;
      break;
  }
  state.toSum = mNormalizing.toSum;
  state.extraOutput = mNormalizing.extraOutput;
  const int current = GetCurrentProgram();
  // The rhythm bytes come back as they were read: decoding and encoding them is the identity.
  WriteStatePayload(out, current, GetProgramName(current), state, chunk.Data() + rhythmBlock);
  return position;
}

void Rhythmoria::InitDefaults() {
  ScopedLock lock(mMutex);
  ResetRhythms();
  for (int i = 0; i < kNumParams; ++i) GetParam(i)->SetClamped(GetParam(i)->Default());
  mToSum.fill(1);
  mExtraOutput.fill(0);
  ModifyCurrentPreset("Init");
  RestoreProgram(GetCurrentProgram());
  RefreshEditor();
}

void Rhythmoria::ResetInstrument(int instrument, bool noteOnly) {
  ScopedLock lock(mMutex);
  if (instrument < 0 || instrument >= kNumInstruments) return;
  auto reset = [this](int paramIdx) {
    GetParam(paramIdx)->SetClamped(GetParam(paramIdx)->Default());
  };
  if (noteOnly) {
    reset(kNoteFirst + instrument);
  } else {
    reset(kLevelFirst + instrument);
    reset(kPanFirst + instrument);
    mToSum[static_cast<std::size_t>(instrument)] = 1;
    mExtraOutput[static_cast<std::size_t>(instrument)] = 0;
    for (int p = kBaseFrequency; p < kReservedFirst; ++p) {
      if (InstrumentOfSoundParameter(p) == instrument) reset(p);
    }
  }
  ModifyCurrentPreset();
  RestoreProgram(GetCurrentProgram());
}

bool Rhythmoria::ExportRhythmMidi(const std::filesystem::path& path, bool type1, bool allPlaying) {
  std::vector<std::uint8_t> bytes;
  {
    ScopedLock lock(mMutex);
    ModifyCurrentPreset();
    std::array<int, kNumInstruments> notes{};
    std::array<int, kNumInstruments> velocities{};
    for (int k = 0; k < kNumInstruments; ++k) {
      notes[static_cast<std::size_t>(k)] = mVoices[static_cast<std::size_t>(k)]->note;
      velocities[static_cast<std::size_t>(k)] = mVoices[static_cast<std::size_t>(k)]->velocity;
    }
    const int s = mEditedSlot;
    const RhythmView rhythm =
        allPlaying ? RhythmView{mCombined.grid, mCombined.active, mCombined.triplet}
                   : RhythmView{mRhythmBank.grid[s], mRhythmBank.active[s], mRhythmBank.triplet[s]};
    bytes = ExportMidiBytes(rhythm, notes, velocities, type1);
  }
  return WriteMidiFileBytes(path, bytes);
}

bool Rhythmoria::ImportRhythmMidi(const std::filesystem::path& path, bool asTriplets) {
  std::vector<std::uint8_t> bytes;
  if (!ReadMidiFileBytes(path, bytes)) return false;
  bool ok = false;
  EditRhythms([&](RhythmBank& bank) {
    std::array<int, kNumInstruments> notes{};
    for (int k = 0; k < kNumInstruments; ++k) {
      notes[static_cast<std::size_t>(k)] = mVoices[static_cast<std::size_t>(k)]->note;
    }
    const int s = mEditedSlot;
    ok = ImportMidiBytes(bytes, asTriplets, notes,
                         RhythmSlotRef{bank.grid[s], bank.active[s], bank.triplet[s]});
  });
  return ok;
}
