#pragma once

#include <memory>
#include <string>

class IGraphics;
class IGraphicsHeadless;
class IPlugBase;
class Rhythmoria;

// What render-editor draws, shared with its test and the editor benchmarks.
struct EditorPreviewOptions {
  enum Page : int { kMain = 0, kSettings = 1, kSequence = 2 };
  int page = kMain;
  int program = -1;  // -1 keeps the instance's start-up program
  bool controls = true;
};

// Opens the instance's editor (laying out a headless one first when the instance has none) on
// the given page and program. Without controls only the page's backdrop shows.
IGraphicsHeadless* OpenPreviewEditor(Rhythmoria& plug, const EditorPreviewOptions& options);

// Parses "main", "settings" or "sequence"; false for anything else.
bool ParsePreviewPage(const std::string& text, int* page);
