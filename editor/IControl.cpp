#include "editor/IControl.h"

#include <algorithm>

#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"

namespace {
constexpr float kGrayedWeight = 0.25f;
}

void IControl::MouseDoubleClick(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {
  if (mDefaultValue >= 0.0) {
    mValue = mDefaultValue;
    MarkDirty(true);
  }
}

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

void IControl::SetHidden(bool hide) {
  mHide = hide;
  mRedraw = true;
  MarkDirty(false);
}

void IControl::SetGrayed(bool gray) {
  mGrayed = gray;
  mBlend.mWeight = gray ? kGrayedWeight : 1.0f;
  MarkDirty(false);
}

void IControl::SetAuxValueFromHost(int auxIndex, double value) {
  if (auxIndex < 0 || auxIndex >= NAuxParams()) return;
  AuxBinding& binding = mAuxBindings[static_cast<std::size_t>(auxIndex)];
  if (binding.mValue != value) {
    binding.mValue = value;
    MarkDirty(false);
    mRedraw = true;
  }
}

void IControl::MarkDirty(bool push) {
  mValue = std::min(std::max(mValue, mClampLo), mClampHi);
  mDirty = true;
  if (!push || !mPlug || mParamIdx < 0) return;
  mPlug->SetParamFromEditor(mParamIdx, mValue);
  // The next tick shows the edit in the other controls on this parameter, and a host value
  // stored before it can no longer undo it.
  if (IGraphics* graphics = mPlug->GetGUI()) {
    graphics->SetControlsFromParameter(mParamIdx, mValue, true);
  }
}

void IControl::AddAuxParam(int paramIdx) {
  AuxBinding binding;
  binding.mParamIdx = paramIdx;
  mAuxBindings.push_back(binding);
}
