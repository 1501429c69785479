#include "editor/IControl.h"

#include <algorithm>

#include "framework/IPlugBase.h"

void IControl::SetValueFromHost(double value) {
  if (mDefaultValue < 0.0) mDefaultValue = mValue = value;
  if (mValue != value) {
    mValue = value;
    MarkDirty(false);
    mRedraw = true;
  }
}

void IControl::SetValueFromUser(double value) {
  if (mValue != value) {
    mValue = value;
    MarkDirty(true);
    mRedraw = true;
  }
}

void IControl::SetAuxValueFromHost(int auxIndex, double value) {
  if (auxIndex < 0 || auxIndex >= NAuxParams()) return;
  AuxBinding& binding = mAuxBindings[auxIndex];
  if (binding.mValue != value) {
    binding.mValue = value;
    MarkDirty(false);
    mRedraw = true;
  }
}

void IControl::MarkDirty(bool push) {
  mValue = std::clamp(mValue, mClampLow, mClampHigh);
  mDirty = true;
  if (!push || !mPlug || mParamIdx < 0) return;
  mPlug->SetParamFromEditor(mParamIdx, mValue);
}

void IControl::AddAuxParam(int paramIdx) {
  AuxBinding binding;
  binding.mParamIdx = paramIdx;
  mAuxBindings.push_back(binding);
}
