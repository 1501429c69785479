// Every plug-in a test program builds gets the headless window layer, whatever window layer this
// system has: tests drive and read editors without a screen. A test that wants the system's own
// layer (the X11 tests) installs SetGraphicsFactory(nullptr) before building its instances.
#include "editor/GraphicsFactory.h"
#include "platform/headless/IGraphicsHeadless.h"

namespace testing_support {
namespace {
const bool kHeadlessEditors = (SetGraphicsFactory(MakeHeadlessGraphics), true);
}  // namespace

// FakeHost calls it, so every test program that builds one links this file.
bool HeadlessEditorsInstalled() {
  return kHeadlessEditors;
}
}  // namespace testing_support
