#include "synth/Synth.h"

#include <algorithm>
#include <cmath>

Synth::Synth(const IPlugInstanceInfo& info, const IPlugConfig& config) : IPlugVST(info, config) {
  mCcMap.fill(kUnmapped);
}

Synth::~Synth() = default;

void Synth::OnReset() {
  ScopedLock lock(mMutex);
  IPlugVST::OnReset();
  mMidiInputQueue.Reserve(std::max<std::size_t>(
      MidiInputQueue::kMinCapacity, static_cast<std::size_t>(std::max(GetBlockSize(), 0))));
  mHeldNotes.ClearAll();
  mLearnArmed = false;
  mMsCountdown = 0;
  const double rate = GetSampleRate();
  mMsPeriod = std::isfinite(rate) && rate > 0.0 && rate < 2.0e9 ? static_cast<int>(rate) / 1000 : 0;
}

void Synth::OnParameterChange(int paramIdx) {
  ScopedLock lock(mMutex);
  IPlugVST::OnParameterChange(paramIdx);
  if (paramIdx >= 0 && paramIdx < NParams()) LearnTarget(paramIdx);
}

void Synth::SetActive(bool active) {
  ScopedLock lock(mMutex);
  IPlugVST::SetActive(active);
  if (!active) return;
  for (int i = 0; i < NParams(); ++i) OnParameterChange(i);
}

void Synth::SetMiddleC(int value) {
  mMiddleC = value;
}

int Synth::ControllerTarget(int cc) const {
  if (cc < 0 || cc >= kNumMappableControllers) return kUnmapped;
  return mCcMap[static_cast<std::size_t>(cc)];
}

void Synth::SetControllerTarget(int cc, int target) {
  if (cc < 0 || cc >= kNumMappableControllers) return;
  mCcMap[static_cast<std::size_t>(cc)] = target;
}

void Synth::ArmLearn(bool armed, bool unlearn) {
  ScopedLock lock(mMutex);
  mLearnedController = -1;
  mLearnedParameter = -1;
  mUnlearnMode = unlearn;
  mLearnArmed = armed;
}

bool Synth::LearnTarget(int target) {
  if (!mLearnArmed) return false;
  mLearnedParameter = target;
  CompleteLearn();
  return true;
}

bool Synth::LearnController(int cc) {
  if (!mLearnArmed) return false;
  mLearnedController = cc;
  CompleteLearn();
  return true;
}

void Synth::CompleteLearn() {
  if (mLearnArmed && !mUnlearnMode) {
    if (mLearnedController != -1 && mLearnedParameter != -1) {
      // A target is bound to at most one controller.
      std::replace(mCcMap.begin(), mCcMap.end(), mLearnedParameter, kUnmapped);
      SetControllerTarget(mLearnedController, mLearnedParameter);
      mLearnArmed = false;
    }
  } else if (mLearnArmed) {
    if (mLearnedController != -1) {
      SetControllerTarget(mLearnedController, kUnmapped);
      mLearnArmed = mUnlearnMode = false;
    } else if (mLearnedParameter != -1) {
      std::replace(mCcMap.begin(), mCcMap.end(), mLearnedParameter, kUnmapped);
      mLearnArmed = mUnlearnMode = false;
    }
  }
  if (!mLearnArmed) LearnFinished();
}
