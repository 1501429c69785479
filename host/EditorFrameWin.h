#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/PluginHost.h"

namespace vsthost {

// A top-level window of our own holding one plug-in's editor, the way a DAW shows a plug-in
// window: sized from effEditGetRect, the editor opened into it with effEditOpen and closed with
// effEditClose when the window closes. User-interface thread only.
class EditorFrameWin {
 public:
  explicit EditorFrameWin(PluginHost& host);
  ~EditorFrameWin();
  EditorFrameWin(const EditorFrameWin&) = delete;
  EditorFrameWin& operator=(const EditorFrameWin&) = delete;

  // Makes the window at (x, y) on the screen and opens the editor in it; false with the reason in
  // *error when the plug-in has no editor or it would not open.
  bool Open(const std::string& title, int x, int y, std::string* error);
  // effEditClose and effEditOpen again into the same window.
  void CloseEditor();
  bool OpenEditor();
  // Closes the editor and the window (as the user's close button does).
  void Destroy();
  bool IsOpen() const { return mWnd != nullptr; }
  bool EditorIsOpen() const { return mEditorOpen; }
  // Times effEditOpen succeeded in this window.
  int OpenCount() const { return mOpenCount; }
  void* Handle() const { return mWnd; }
  PluginHost& Host() { return mHost; }

  // Keys the editor passed on to this window untranslated, as virtual-key codes (key down only).
  std::vector<int> keysReceived;
  // F5 in the window closes the editor and opens it again, as a DAW does when its plug-in window
  // is hidden and shown; the editor must come back as it was.
  bool reopenOnF5 = false;

 private:
  friend struct EditorFrameProc;
  PluginHost& mHost;
  void* mWnd = nullptr;
  bool mEditorOpen = false;
  int mOpenCount = 0;
};

// Runs the window messages of this thread with effEditIdle about 30 times a second for every open
// frame, until no frame is open or seconds have passed (0: no limit). onTick, when given, runs at
// each idle round with the seconds since the start.
void PumpEditorFrames(const std::vector<EditorFrameWin*>& frames, double seconds,
                      const std::function<void(double)>& onTick = {});

}  // namespace vsthost
