#include "engine/Rhythmoria.h"

#include "engine/ParameterTable.h"

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

}  // namespace

Rhythmoria::Rhythmoria(const IPlugInstanceInfo& info) : Synth(info, kConfig) {
  for (int i = 0; i < kNumOutputs; ++i) SetOutputLabel(i, kOutputNames[i]);
  InitParameters();

  mVoices[kBase] = &mBaseDrum;
  mVoices[kSmallBongo] = &mSmallBongo;
  mVoices[kLargeBongo] = &mLargeBongo;
  mVoices[kClaves] = &mClaves;
  mVoices[kRimshot] = &mRimshot;

  Panic();
}

Rhythmoria::~Rhythmoria() = default;

void Rhythmoria::InitParameters() {
  for (int i = 0; i < NParams(); ++i) InitParameterFromTable(*GetParam(i), i);
}

Instrument* Rhythmoria::GetVoice(int k) const {
  if (k < 0 || k >= kNumInstruments) return nullptr;
  return mVoices[k];
}

void Rhythmoria::OnReset() {
  ScopedLock lock(mMutex);
  Synth::OnReset();
  const double rate = GetSampleRate();
  if (rate == mLastSampleRate) return;
  mLastSampleRate = rate;
  for (Instrument* voice : mVoices) {
    if (voice) voice->setSampleRate(rate);
  }
  mMsPeriod = static_cast<int>(rate) / 1000;
}

void Rhythmoria::EditorOpened() {
  RefreshEditor();
}

void Rhythmoria::RefreshEditor() {
  if (!GetGUI()) return;
  SyncEditorToParams();
}

void Rhythmoria::Panic() {
  ScopedLock lock(mMutex);
  for (Instrument* voice : mVoices) {
    if (voice) voice->release();
  }
}
