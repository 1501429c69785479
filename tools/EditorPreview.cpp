#include "tools/EditorPreview.h"

#include <memory>

#include "editor/EditorPages.h"
#include "engine/Rhythmoria.h"
#include "platform/headless/IGraphicsHeadless.h"

bool ParsePreviewPage(const std::string& text, int* page) {
  static const char* const kNames[] = {"main", "settings", "sequence"};
  for (int i = 0; i < 3; ++i) {
    if (text == kNames[i]) {
      *page = i;
      return true;
    }
  }
  return false;
}

IGraphicsHeadless* OpenPreviewEditor(Rhythmoria& plug, const EditorPreviewOptions& options) {
  if (!plug.GetGUI()) {
    plug.AdoptEditor(
        MakeHeadlessGraphics(&plug, IGraphics::kDefaultWidth, IGraphics::kDefaultHeight));
  }
  auto* editor = dynamic_cast<IGraphicsHeadless*>(plug.GetGUI());
  if (!editor) return nullptr;
  if (options.program >= 0) plug.RestoreProgram(options.program);
  EditorPages* pages = plug.Pages();
  editor->Open();
  pages->SwitchPage(options.page);
  if (!options.controls) {
    // Everything but the background and the page's backdrop (the first control of its list).
    for (int i = 1; i < editor->NControls(); ++i) editor->GetControl(i)->SetHidden(true);
    if (options.page != EditorPreviewOptions::kMain) {
      pages->PageControls(options.page).front()->SetHidden(false);
    }
  }
  editor->Tick();
  return editor;
}
