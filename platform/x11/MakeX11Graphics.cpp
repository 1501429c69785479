#include "editor/GraphicsFactory.h"
#include "platform/x11/IGraphicsX11.h"

// Linux hosts give the editor an X11 window. Nothing connects to a display until the editor opens,
// so a host that only scans plug-ins needs none.
std::unique_ptr<IGraphics> MakePlatformGraphics(IPlugBase* plug, int width, int height) {
  return std::make_unique<IGraphicsX11>(plug, width, height);
}
