#include "editor/GraphicsFactory.h"
#include "editor/IGraphics.h"

// This system's window layer is not written yet: the plug-in reports no editor.
std::unique_ptr<IGraphics> MakePlatformGraphics(IPlugBase* /*plug*/, int /*width*/,
                                                int /*height*/) {
  return nullptr;
}
