#include "host/EditorWindow.h"

namespace vsthost {

// This system's top-level window is not written yet.
bool RunEditorWindow(PluginHost& /*host*/, const EditorWindowOptions& /*options*/,
                     std::string* error) {
  if (error) *error = "this build of the command cannot open windows";
  return false;
}

}  // namespace vsthost
