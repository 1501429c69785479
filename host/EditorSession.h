#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "host/EditorWindow.h"
#include "host/PluginHost.h"

namespace vsthost {

// What every `rhythmoria edit` window runs beside the editor, whatever the system: blocks of
// audio on a thread of their own at the pace of real time (the transport playing or stopped, as
// asked), and optionally a state file that follows what a host sees of the plug-in, for a person
// watching what a click does and for tests that click the editor from outside:
//
//   editor<TAB>open|closed<TAB>OPENS[<TAB>X<TAB>Y<TAB>W<TAB>H]
//                                 times the editor was opened; where it lies on the screen
//   transport<TAB>playing|stopped
//   sound<TAB>yes|no              anything audible in the last half second of output
//   program<TAB>INDEX<TAB>NAME
//   param<TAB>INDEX<TAB>NAME<TAB>VALUE<TAB>DISPLAY     one line per parameter
//
// The file is replaced whole (written beside it, then renamed), so a reader never sees half of
// it. Construct, Idle and Finish on the window's thread.
// What the window tells the session of the editor at each idle round.
struct EditorView {
  bool open = false;
  int opens = 0;            // effEditOpen calls that succeeded so far
  bool placeKnown = false;  // x, y, width and height are the editor's place on the screen
  int x = 0, y = 0, width = 0, height = 0;
};

class EditorSession {
 public:
  EditorSession(PluginHost& host, const EditorWindowOptions& options);
  ~EditorSession();
  EditorSession(const EditorSession&) = delete;
  EditorSession& operator=(const EditorSession&) = delete;

  // Each idle round: rewrites the state file when anything in it changed, and drains what the
  // plug-in sent the host so a long session does not pile it up.
  void Idle(const EditorView& view);
  // Stops the audio and writes the state file a last time.
  void Finish(const EditorView& view);

 private:
  void RunAudio();
  std::string StateText(const EditorView& view);

  PluginHost& mHost;
  std::string mPath;
  std::string mWritten;
  std::atomic<bool> mStop{false};
  std::atomic<std::int64_t> mFramesDone{0};
  std::atomic<std::int64_t> mLastAudibleFrame{-1};
  std::thread mAudio;
};

}  // namespace vsthost
