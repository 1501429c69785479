#include "editor/IFaderControl.h"

#include "editor/IGraphics.h"

namespace {

Rect FaderRect(int x, int y, int length, const BitmapStrip& handle,
               IKnobControl::Direction direction) {
  if (direction == IKnobControl::kVertical) return {x, y, x + handle.FrameWidth(), y + length};
  return {x, y, x + length, y + handle.FrameHeight()};
}

}  // namespace

IFaderControl::IFaderControl(IPlugBase* plug, int x, int y, int length, int paramIdx,
                             const BitmapStrip& handle, Direction direction, bool onlyHandle)
    : IControl(plug, FaderRect(x, y, length, handle, direction), paramIdx),
      mLen(length),
      mHandleBitmap(handle),
      mHandleHeadroom(direction == IKnobControl::kVertical ? handle.FrameHeight()
                                                           : handle.FrameWidth()),
      mDirection(direction),
      mOnlyHandle(onlyHandle) {}

void IFaderControl::SnapToPointer(int x, int y) {
  const double travel = mLen - mHandleHeadroom;
  // A handle as long as the track cannot move.
  if (travel <= 0.0) return;
  if (mDirection == IKnobControl::kVertical) {
    mValue = 1.0 - (y - mRECT.T - mHandleHeadroom / 2.0) / travel;
  } else {
    mValue = (x - mRECT.L - mHandleHeadroom / 2.0) / travel;
  }
  MarkDirty(true);
}

void IFaderControl::MouseDown(int x, int y, const MouseModifiers& mod) {
  if (mod.R) return;
  SnapToPointer(x, y);
}

void IFaderControl::MouseDrag(int x, int y, int /*dX*/, int /*dY*/, const MouseModifiers& /*mod*/) {
  SnapToPointer(x, y);
}

void IFaderControl::MouseWheel(int /*x*/, int /*y*/, const MouseModifiers& mod, int d) {
  mValue += WheelStep(mod, d);
  MarkDirty(true);
}

Rect IFaderControl::GetHandleRECT() const {
  const int w = mHandleBitmap.FrameWidth();
  const int h = mHandleBitmap.FrameHeight();
  if (mDirection == IKnobControl::kVertical) {
    const int offset = static_cast<int>((mLen - mHandleHeadroom) * (1.0 - mValue));
    return {mRECT.L, mRECT.T + offset, mRECT.L + w, mRECT.T + offset + h};
  }
  const int offset = static_cast<int>((mLen - mHandleHeadroom) * mValue);
  return {mRECT.L + offset, mRECT.T, mRECT.L + offset + w, mRECT.T + h};
}

bool IFaderControl::Draw(IGraphics* graphics) {
  return graphics->DrawBitmapFrame(mHandleBitmap, GetHandleRECT(), 1, &mBlend);
}

bool IFaderControl::HitTest(int x, int y) {
  if (mOnlyHandle) return GetHandleRECT().Contains(x, y);
  return mTargetRECT.Contains(x, y);
}
