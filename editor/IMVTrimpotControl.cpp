#include "editor/IMVTrimpotControl.h"

#include "editor/IGraphics.h"

bool IMVTrimpotControl::Draw(IGraphics* graphics) {
  const BlendMode none{BlendMode::kNone, 1.0f};
  graphics->BlitBitmap(mBase, mRECT, 0, 0, &none);
  return IKnobMultiControl::Draw(graphics);
}
