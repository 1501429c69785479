#pragma once

#include <string>

class IGraphics;
class IGraphicsHeadless;
class Rhythmoria;

// What render-editor draws, shared with its test and the editor benchmarks.
struct EditorPreviewOptions {
  enum Page : int { kMain = 0, kSettings = 1, kSequence = 2 };
  int page = kMain;
  int program = -1;  // -1 keeps the instance's start-up program
  bool controls = true;
};

// Builds a headless editor for the instance, attaches it and opens it. Until the pages are laid
// out by the plug-in itself, the editor shows the page's backdrop and, on the main page, stock
// controls bound to the front panel's parameters at their places.
IGraphicsHeadless* OpenPreviewEditor(Rhythmoria& plug, const EditorPreviewOptions& options);

// The same layout in any window layer (the Windows editor harness uses it): sizes the editor and
// attaches the page's controls; the caller attaches the editor to the plug-in.
void LayoutPreviewEditor(IGraphics& gui, Rhythmoria& plug, const EditorPreviewOptions& options);

// Parses "main", "settings" or "sequence"; false for anything else.
bool ParsePreviewPage(const std::string& text, int* page);
