#pragma once

#include "editor/IFaderControl.h"

// The main page's vertical sliders: a handle on a 127-pixel track from y 39, taking clicks on
// the handle only.
class IMVSliderControl : public IFaderControl {
 public:
  static constexpr int kTop = 39;
  static constexpr int kTrackLength = 127;

  IMVSliderControl(IPlugBase* plug, int x, int paramIdx, const BitmapStrip& handle)
      : IFaderControl(plug, x, kTop, kTrackLength, paramIdx, handle, IKnobControl::kVertical,
                      true) {}
};
