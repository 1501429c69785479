#include "editor/IBitmapControl.h"

#include <algorithm>

#include "editor/IGraphics.h"

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx,
                               const BitmapStrip& bitmap, BlendMode blend)
    : IControl(plug, Rect(x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()), paramIdx,
               blend),
      mBitmap(bitmap) {}

int IBitmapControl::FrameForValue() const {
  const int n = mBitmap.N;
  if (n < 2) return 1;
  return std::clamp(static_cast<int>((n - 1) * mValue + 0.5) + 1, 1, n);
}

bool IBitmapControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmapFrame(mBitmap, mRECT, FrameForValue(), &mBlend);
}

void ISwitchControl::MouseDown(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {
  mValue += mBitmap.N < 2 ? 1.0 : 1.0 / (mBitmap.N - 1);
  // A little beyond 1 so rounding errors of the steps do not skip the last frame.
  if (mValue > 1.001) mValue = 0.0;
  MarkDirty(true);
}

void ISwitchControl::MouseDoubleClick(int x, int y, const MouseModifiers& mod) {
  MouseDown(x, y, mod);
}

void IContactControl::MouseUp(int /*x*/, int /*y*/, const MouseModifiers& /*mod*/) {
  mValue = 0.0;
  MarkDirty(true);
}
