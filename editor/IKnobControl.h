#pragma once

#include "editor/IControl.h"

// A knob turned by dragging: up (or right) raises the value.
class IKnobControl : public IControl {
 public:
  enum Direction : int { kVertical = 0, kHorizontal = 1 };
  static constexpr double kDefaultGearing = 4.0;

  IKnobControl(IPlugBase* plug, const Rect& rect, int paramIdx, Direction direction = kVertical,
               double gearing = kDefaultGearing)
      : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing) {}

  Direction GetDirection() const { return mDirection; }
  double GetGearing() const { return mGearing; }

 protected:
  Direction mDirection;
  double mGearing;
};

// A knob drawn as one frame of a strip. Dragging across the control's own height (or width) moves
// the value by 1 / gearing; shift or control makes it ten times finer. A wheel notch moves it by
// 0.01 (0.001 with shift or control).
class IKnobMultiControl : public IKnobControl {
 public:
  IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapStrip& bitmap,
                    Direction direction = kVertical, double gearing = kDefaultGearing);

  void MouseDrag(int x, int y, int dX, int dY, const MouseModifiers& mod) override;
  void MouseWheel(int x, int y, const MouseModifiers& mod, int d) override;
  bool Draw(IGraphics* graphics) override;
  int FrameForValue() const;

 protected:
  BitmapStrip mBitmap;
};

// The wheel step of knobs and faders.
double WheelStep(const MouseModifiers& mod, int notches);
