#pragma once

#include <string>

#include "editor/IBitmapControl.h"

// A bitmap with an optional dark red caption: the lamps (no caption) and the "USER" labels.
class IMVBitmapControl : public IBitmapControl {
 public:
  IMVBitmapControl(IPlugBase* plug, int x, int y, const BitmapStrip& bitmap,
                   std::string label = {});

  bool Draw(IGraphics* graphics) override;
  const std::string& GetLabel() const { return mLabel; }

 private:
  std::string mLabel;
  Rect mLabelRect;
  TextStyle mStyle;
};
