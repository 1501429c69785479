#include "editor/GraphicsFactory.h"

#include <atomic>

#include "editor/IGraphics.h"

namespace {
std::atomic<GraphicsFactory> gFactory{nullptr};
}  // namespace

std::unique_ptr<IGraphics> MakeGraphics(IPlugBase* plug, int width, int height) {
  if (GraphicsFactory factory = gFactory.load()) return factory(plug, width, height);
  return MakePlatformGraphics(plug, width, height);
}

void SetGraphicsFactory(GraphicsFactory factory) {
  gFactory.store(factory);
}
