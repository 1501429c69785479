#pragma once

#include "editor/IKnobControl.h"

// A small knob drawn over its own base plate.
class IMVTrimpotControl : public IKnobMultiControl {
 public:
  IMVTrimpotControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapStrip& knob,
                    const BitmapStrip& base)
      : IKnobMultiControl(plug, x, y, paramIdx, knob, kVertical, 4.0), mBase(base) {}

  bool Draw(IGraphics* graphics) override;

 private:
  BitmapStrip mBase;
};
