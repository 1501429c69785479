#include "synth/Synth.h"

Synth::Synth(const IPlugInstanceInfo& info, const IPlugConfig& config) : IPlugVST(info, config) {}

Synth::~Synth() = default;

void Synth::OnReset() {
  ScopedLock lock(mMutex);
  IPlugVST::OnReset();
}

void Synth::OnParameterChange(int paramIdx) {
  ScopedLock lock(mMutex);
  IPlugVST::OnParameterChange(paramIdx);
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
