#pragma once

#include <vector>

class IPlugBase;

// Normalised value of a further parameter a control shows besides its own.
struct AuxBinding {
  double mValue = 0.0;
  int mParamIdx = -1;
};

// One element of the editor. A control bound to a parameter carries its index; a negative index
// means unbound (custom controls use it as a command identifier).
class IControl {
 public:
  IControl(IPlugBase* plug, int paramIdx) : mPlug(plug), mParamIdx(paramIdx) {}
  virtual ~IControl() = default;

  // A change that came from the host or a program: shown, not sent back.
  virtual void SetValueFromHost(double value);
  // A change made by the user: shown and pushed to the plug-in.
  virtual void SetValueFromUser(double value);
  virtual void SetAuxValueFromHost(int auxIndex, double value);
  // Clamps the value, marks the control for redrawing and, when push is set, hands the value to
  // the plug-in as an editor change.
  virtual void MarkDirty(bool push);
  virtual void MarkClean() {
    mDirty = mRedraw;
    mRedraw = false;
  }
  virtual bool IsDirty() const { return mDirty; }

  void AddAuxParam(int paramIdx);
  int ParamIdx() const { return mParamIdx; }
  double Value() const { return mValue; }
  double DefaultValue() const { return mDefaultValue; }
  int NAuxParams() const { return static_cast<int>(mAuxBindings.size()); }
  const AuxBinding& GetAuxParam(int i) const { return mAuxBindings[i]; }
  IPlugBase* Plug() const { return mPlug; }

 protected:
  IPlugBase* mPlug;
  int mParamIdx;
  std::vector<AuxBinding> mAuxBindings;
  double mValue = 0.0;
  double mDefaultValue = -1.0;
  double mClampLow = 0.0;
  double mClampHigh = 1.0;
  bool mDirty = true;
  bool mRedraw = false;
};
