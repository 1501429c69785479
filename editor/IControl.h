#pragma once

#include <string>
#include <vector>

#include "editor/IGraphicsStructs.h"

class IGraphics;
class IPlugBase;

// One element of the editor. A control bound to a parameter carries its index; a negative index
// means unbound (custom controls use it as a command identifier).
//
// Threads: a control is touched only on the editor's thread. Values from the host, the audio
// thread or MIDI learn reach it through IGraphics::SetControlsFromParameter, which hands them
// over on the editor's next timer tick.
class IControl {
 public:
  IControl(IPlugBase* plug, const Rect& rect, int paramIdx = -1,
           BlendMode blend = BlendMode{BlendMode::kNone, 1.0f})
      : mPlug(plug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blend) {}
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // Virtual operations, in their fixed order.
  virtual ~IControl() = default;
  virtual void MouseDown(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {}
  virtual void MouseUp(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {}
  virtual void MouseDrag(int /*x*/, int /*y*/, int /*dX*/, int /*dY*/,
                         const MouseModifiers& /*mod*/) {}
  virtual void MouseDoubleClick(int x, int y, const MouseModifiers& mod);
  virtual void MouseWheel(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/, int /*d*/) {}
  virtual bool KeyDown(int /*x*/, int /*y*/, int /*key*/) { return false; }
  virtual void MouseOver(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {}
  virtual void MouseOut() {}
  virtual bool Draw(IGraphics* graphics) = 0;
  // A change that came from the host or a program: shown, not sent back. The first one also
  // becomes the default a double-click restores.
  virtual void SetValueFromHost(double value);
  // A change made by the user: shown and pushed to the plug-in.
  virtual void SetValueFromUser(double value);
  virtual void TextEntered(const char* /*text*/) {}
  virtual void SetHidden(bool hide);
  // Grayed controls are drawn at a quarter weight and take no mouse events.
  virtual void SetGrayed(bool gray);
  virtual bool HitTest(int x, int y) { return mTargetRECT.Contains(x, y); }
  // Clamps the value, marks the control for redrawing and, when push is set, hands the value to
  // the plug-in as an editor change.
  virtual void MarkDirty(bool push);
  virtual void MarkClean() {
    mDirty = mRedraw;
    mRedraw = false;
  }
  virtual bool IsDirty() { return mDirty; }
  virtual void Idle() {}
  virtual void SetAuxValueFromHost(int auxIndex, double value);

  const Rect& GetRECT() const { return mRECT; }
  const Rect& GetTargetRECT() const { return mTargetRECT; }
  void SetTargetArea(const Rect& rect) { mTargetRECT = rect; }
  int ParamIdx() const { return mParamIdx; }
  double GetValue() const { return mValue; }
  double GetDefaultValue() const { return mDefaultValue; }
  const TextStyle& GetTextStyle() const { return mText; }
  void SetTextStyle(const TextStyle& style) { mText = style; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int length) { mTextEntryLength = length; }
  const BlendMode& GetBlend() const { return mBlend; }
  void SetBlend(const BlendMode& blend) { mBlend = blend; }
  void SetClamp(double low, double high) {
    mClampLo = low;
    mClampHi = high;
  }
  void SetDoubleClickAsClick(bool asClick) { mDblAsSingleClick = asClick; }
  bool DoubleClickAsClick() const { return mDblAsSingleClick; }
  void SetMouseOverWhenGrayed(bool allow) { mMOWhenGrayed = allow; }
  bool MouseOverWhenGrayed() const { return mMOWhenGrayed; }
  bool IsHidden() const { return mHide; }
  bool IsGrayed() const { return mGrayed; }

  void AddAuxParam(int paramIdx);
  int NAuxParams() const { return static_cast<int>(mAuxBindings.size()); }
  const AuxBinding& GetAuxParam(int i) const { return mAuxBindings[static_cast<std::size_t>(i)]; }
  IPlugBase* Plug() const { return mPlug; }

 protected:
  int mTextEntryLength = 7;
  TextStyle mText;
  IPlugBase* mPlug;  // not owned
  Rect mRECT;
  Rect mTargetRECT;
  int mParamIdx;
  std::vector<AuxBinding> mAuxBindings;
  double mValue = 0.0;
  double mDefaultValue = -1.0;
  double mClampLo = 0.0;
  double mClampHi = 1.0;
  bool mDirty = true;
  bool mHide = false;
  bool mGrayed = false;
  bool mRedraw = false;
  bool mDblAsSingleClick = false;
  bool mMOWhenGrayed = false;
  BlendMode mBlend;
};
