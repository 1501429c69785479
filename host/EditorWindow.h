#pragma once

#include <string>

#include "host/PluginHost.h"

namespace vsthost {

// What `rhythmoria edit` asks of the window it opens.
struct EditorWindowOptions {
  // Play the transport while the editor is open, so lamps and the step marker move. Blocks are
  // rendered either way, as a DAW's are, so the plug-in's own sequencer sounds when started.
  bool play = false;
  // Close by itself after this many seconds; 0 keeps the window until the user closes it.
  double seconds = 0.0;
  // When set, this text file follows what the host sees of the plug-in (EditorSession).
  std::string stateFile;
};

// Opens the plug-in's editor (effEditOpen) in a top-level window of our own and runs it like a
// DAW: the window's events, effEditIdle about 30 times a second and blocks of audio on a thread
// of their own. Returns when the window closes; false with the reason in *error when the plug-in
// has no editor or this system has no window to give it. One implementation per system
// (EditorWindowWin.cpp, EditorWindowX11.cpp).
bool RunEditorWindow(PluginHost& host, const EditorWindowOptions& options, std::string* error);

}  // namespace vsthost
