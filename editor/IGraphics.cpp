#include "editor/IGraphics.h"

#include "framework/IPlugBase.h"

int IGraphics::AttachControl(std::unique_ptr<IControl> control) {
  mControls.push_back(std::move(control));
  return NControls() - 1;
}

void IGraphics::SetControlsFromParameter(int paramIdx, double value, bool normalized) {
  if (!normalized && mPlug) {
    const IParameter* param = mPlug->GetParam(paramIdx);
    if (!param) return;
    value = param->ToNormalized(value);
  }
  for (const auto& control : mControls) {
    if (control->ParamIdx() == paramIdx) control->SetValueFromHost(value);
    for (int k = 0; k < control->NAuxParams(); ++k) {
      if (control->GetAuxParam(k).mParamIdx == paramIdx) {
        control->SetAuxValueFromHost(k, value);
        break;
      }
    }
  }
}
