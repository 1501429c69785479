// Every plug-in these tests build gets the headless window layer, whatever window layer this
// system has: the tests drive and read their editors without a screen.
#include "editor/GraphicsFactory.h"
#include "tools/EditorPreview.h"

namespace {
const bool kHeadlessEditors = (SetGraphicsFactory(MakeHeadlessGraphics), true);
}  // namespace
