#include "editor/IMVBitmapControl.h"

#include "editor/IGraphics.h"

IMVBitmapControl::IMVBitmapControl(IPlugBase* plug, int x, int y, const BitmapStrip& bitmap,
                                   std::string label)
    : IBitmapControl(plug, x, y, -1, bitmap),
      mLabel(std::move(label)),
      mLabelRect(mRECT.L, mRECT.T + 3, mRECT.R, mRECT.B),
      mStyle("Arial", 14, Color(192, 128, 0, 0)) {}

bool IMVBitmapControl::Draw(IGraphics* graphics) {
  const bool ok = IBitmapControl::Draw(graphics);
  if (!mLabel.empty()) graphics->DrawText(mStyle, mLabel.c_str(), mLabelRect);
  return ok;
}
