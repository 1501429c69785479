#include "editor/GraphicsFactory.h"
#include "platform/win/IGraphicsWin.h"

std::unique_ptr<IGraphics> MakePlatformGraphics(IPlugBase* plug, int width, int height) {
  return std::make_unique<IGraphicsWin>(plug, width, height);
}
