// Renders the editor of a fresh plug-in instance, through the headless window layer, to a PNG.
//
//   render-editor [--page main|settings|sequence] [--program N] [--backdrop-only] [--out FILE]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "drawing/LICE.h"
#include "editor/GraphicsFactory.h"
#include "engine/Rhythmoria.h"
#include "platform/headless/IGraphicsHeadless.h"
#include "tools/EditorPreview.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: render-editor [--page main|settings|sequence] [--program N] "
               "[--backdrop-only] [--out FILE]\n");
  return 2;
}

bool ParseProgram(const char* text, int* program) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 64) return false;
  *program = static_cast<int>(value) - 1;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  EditorPreviewOptions options;
  std::string out = "editor.png";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--page" && hasValue) {
      if (!ParsePreviewPage(argv[++i], &options.page)) return Usage();
    } else if (arg == "--program" && hasValue) {
      if (!ParseProgram(argv[++i], &options.program)) return Usage();
    } else if (arg == "--out" && hasValue) {
      out = argv[++i];
    } else if (arg == "--backdrop-only") {
      options.controls = false;
    } else {
      return Usage();
    }
  }

  // The picture comes from the headless window layer, never from a window on the screen.
  SetGraphicsFactory(MakeHeadlessGraphics);
  Rhythmoria plug{IPlugInstanceInfo{}};
  IGraphicsHeadless* editor = OpenPreviewEditor(plug, options);
  if (!editor) return 1;
  editor->Tick();
  if (!LICE_WritePNG(out.c_str(), &editor->Screen())) {
    std::fprintf(stderr, "render-editor: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("%s: %d x %d\n", out.c_str(), editor->Screen().getWidth(),
              editor->Screen().getHeight());
  return 0;
}
