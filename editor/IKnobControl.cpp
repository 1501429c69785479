#include "editor/IKnobControl.h"

#include <algorithm>

#include "editor/IGraphics.h"

namespace {
constexpr double kFineFactor = 10.0;
constexpr double kWheelStep = 0.01;
constexpr double kFineWheelStep = 0.001;
}  // namespace

double WheelStep(const MouseModifiers& mod, int notches) {
  return notches * (mod.S || mod.C ? kFineWheelStep : kWheelStep);
}

IKnobMultiControl::IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx,
                                     const BitmapStrip& bitmap, Direction direction, double gearing)
    : IKnobControl(plug, Rect(x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()), paramIdx,
                   direction, gearing),
      mBitmap(bitmap) {}

void IKnobMultiControl::MouseDrag(int /*x*/, int /*y*/, int dX, int dY, const MouseModifiers& mod) {
  const double gearing = mod.S || mod.C ? mGearing * kFineFactor : mGearing;
  const int span = mDirection == kVertical ? mRECT.H() : mRECT.W();
  // A control of no size has no distance to divide by; it simply does not turn.
  if (span <= 0 || gearing <= 0.0) return;
  if (mDirection == kVertical) {
    mValue += static_cast<double>(-dY) / span / gearing;
  } else {
    mValue += static_cast<double>(dX) / span / gearing;
  }
  MarkDirty(true);
}

void IKnobMultiControl::MouseWheel(int /*x*/, int /*y*/, const MouseModifiers& mod, int d) {
  mValue += WheelStep(mod, d);
  MarkDirty(true);
}

int IKnobMultiControl::FrameForValue() const {
  const int n = mBitmap.N;
  return std::max(1, std::min(static_cast<int>((n - 1) * mValue + 0.5) + 1, n));
}

bool IKnobMultiControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmapFrame(mBitmap, mRECT, FrameForValue(), &mBlend);
}
