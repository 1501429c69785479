#pragma once

// The desktop's own file chooser, through the XDG desktop portal on the session bus. Sandboxed and
// desktop-neutral, it is the chooser the user knows; where no portal answers, the caller falls back
// to a chooser program or our built-in prompt.
//
// On libdbus-1 rather than sd-bus or GIO: libdbus is on every desktop that has a portal at all, it
// brings no main loop or worker threads into the host's process (GIO's GDBus starts a thread and
// wants a GLib main context), and a private connection of our own, closed after each request,
// leaves the host's shared bus connection alone. Nothing connects until a chooser is asked for, so
// the plug-in loads the same in hosts without a session bus.

#include <functional>
#include <string>
#include <vector>

class PortalFileChooser {
 public:
  enum class Result {
    kChosen,       // a local file was picked
    kNothing,      // the portal answered: cancelled, failed, or something that is no local file
    kUnavailable,  // no session bus or no portal on it: try another chooser
  };

  struct Request {
    bool save = false;
    std::string title;
    std::string parentWindow;             // "x11:<hex id>" of the host's top level, or empty
    std::string folder;                   // where the chooser starts, or empty
    std::string name;                     // the suggested name when saving
    std::vector<std::string> extensions;  // without dots; empty for all files
  };

  // Waits for the user's answer; gives up (closing the portal's dialog) as soon as shouldEnd() says
  // so, which it checks about every 50 ms.
  static Result Ask(const Request& request, const std::function<bool()>& shouldEnd,
                    std::string* path);

  // The local path of a file:// URI, or empty for anything else (exposed for tests).
  static std::string PathFromUri(const std::string& uri);
};
