#pragma once

#include "editor/IKnobControl.h"

// A handle bitmap that slides along a track of the given length; the value follows the pointer.
class IFaderControl : public IControl {
 public:
  using Direction = IKnobControl::Direction;

  IFaderControl(IPlugBase* plug, int x, int y, int length, int paramIdx, const BitmapStrip& handle,
                Direction direction = IKnobControl::kVertical, bool onlyHandle = false);

  // Fixed slot after IControl's: moves the handle's centre to the pointer.
  virtual void SnapToPointer(int x, int y);

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseDrag(int x, int y, int dX, int dY, const MouseModifiers& mod) override;
  void MouseWheel(int x, int y, const MouseModifiers& mod, int d) override;
  bool Draw(IGraphics* graphics) override;
  bool HitTest(int x, int y) override;

  int GetLength() const { return mLen; }
  int GetHandleHeadroom() const { return mHandleHeadroom; }
  // Where the handle is drawn for the current value.
  Rect GetHandleRECT() const;

 protected:
  int mLen;
  BitmapStrip mHandleBitmap;
  int mHandleHeadroom;
  Direction mDirection;
  bool mOnlyHandle;
};
