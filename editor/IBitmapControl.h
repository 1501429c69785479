#pragma once

#include "editor/IControl.h"

// A bitmap strip showing the frame that matches the value (one frame: always that frame).
class IBitmapControl : public IControl {
 public:
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapStrip& bitmap,
                 BlendMode blend = BlendMode{BlendMode::kNone, 1.0f});

  bool Draw(IGraphics* graphics) override;
  const BitmapStrip& GetBitmap() const { return mBitmap; }
  // The 1-based frame the value selects.
  int FrameForValue() const;

 protected:
  BitmapStrip mBitmap;
};

// Steps through its frames on each click, from the last back to the first.
class ISwitchControl : public IBitmapControl {
 public:
  using IBitmapControl::IBitmapControl;

  void MouseDown(int x, int y, const MouseModifiers& mod) override;
  void MouseDoubleClick(int x, int y, const MouseModifiers& mod) override;
};

// A switch that springs back to its first frame when the button is released.
class IContactControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;

  void MouseUp(int x, int y, const MouseModifiers& mod) override;
};
