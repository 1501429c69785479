// The desktop services the editor's controls and menus ask of the X11 window layer: folders by the
// XDG rules, a file chooser (the desktop portal, a chooser program or our own prompt), a colour
// chooser, web pages through xdg-open, clipboard text.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/IGraphicsX11.h"
#include "platform/x11/PortalFileChooser.h"

extern char** environ;

bool AskForPathBuiltIn(IGraphicsX11& gui, const std::string& prompt, std::string* path);
bool AskForColorBuiltIn(IGraphicsX11& gui, const std::string& title, Color* color);

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path.push_back('/');
  return path;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// XDG_DESKTOP_DIR from the user-dirs file: "$HOME/…" or an absolute path, the last one wins.
std::string DesktopFromUserDirs(const std::string& home) {
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') config = home + "/.config";
  std::ifstream file(config + "/user-dirs.dirs");
  std::string line;
  std::string found;
  constexpr const char kKey[] = "XDG_DESKTOP_DIR=\"";
  while (std::getline(file, line)) {
    if (line.rfind(kKey, 0) != 0) continue;
    std::string value = line.substr(sizeof kKey - 1);
    const std::size_t quote = value.find('"');
    if (quote == std::string::npos) continue;
    value.resize(quote);
    if (value.rfind("$HOME", 0) == 0) {
      found = home + value.substr(5);
    } else if (!value.empty() && value[0] == '/') {
      found = value;
    }
  }
  return found;
}

// A program run to its end (or until the editor closes), its standard output collected.
// True when it ran and exited with 0.
bool RunCollecting(IGraphicsX11& gui, const std::vector<std::string>& argv, std::string* out) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (spawned != 0) {
    ::close(fds[0]);
    return false;
  }
  int status = 0;
  gui.RunModal([&] {
    char buffer[512];
    for (;;) {
      if (gui.ModalShouldEnd()) {
        ::kill(pid, SIGTERM);
        break;
      }
      pollfd p = {fds[0], POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
      if (n <= 0) break;
      if (out->size() < 65536) out->append(buffer, static_cast<std::size_t>(n));
    }
    ::waitpid(pid, &status, 0);
  });
  ::close(fds[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The space-separated words of a list such as "fxb fxp".
std::vector<std::string> Words(const char* list) {
  std::vector<std::string> words;
  for (const char* p = list ? list : ""; *p;) {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end && *end != ' ') ++end;
    if (end > p) words.emplace_back(p, end);
    p = end;
  }
  return words;
}

// RHYTHMORIA_FILE_CHOOSER and RHYTHMORIA_COLOR_CHOOSER name the choosers that may be tried, as
// "portal,zenity" (for tests and odd desktops); unset, every one is tried in order. The built-in
// prompt always remains.
bool Allowed(const char* variable, const char* chooser) {
  const std::string allowed = Env(variable);
  if (allowed.empty()) return true;
  const std::string wanted = std::string(",") + chooser + ",";
  return ("," + allowed + ",").find(wanted) != std::string::npos;
}

// A chooser program's colour: "rgb(r,g,b)" or "rgba(r,g,b,a)" (zenity) or "#rrggbb" (kdialog, and
// older zenity, which may also give "#rrrrggggbbbb").
bool ParseColorAnswer(std::string text, int* r, int* g, int* b) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  if (text.rfind("rgb", 0) == 0) {
    int values[3] = {-1, -1, -1};
    const std::size_t open = text.find('(');
    if (open == std::string::npos || text.back() != ')') return false;
    const char* p = text.c_str() + open + 1;
    for (int i = 0; i < 3; ++i) {
      char* end = nullptr;
      const long v = std::strtol(p, &end, 10);
      if (end == p || v < 0 || v > 255 || (*end != ',' && *end != ')')) return false;
      values[i] = static_cast<int>(v);
      p = end + 1;
    }
    *r = values[0];
    *g = values[1];
    *b = values[2];
    return true;
  }
  if (text.size() != 7 && text.size() != 13) return false;
  if (text[0] != '#' || text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
    return false;
  }
  // Two or four digits a channel; the first two are its top byte either way.
  const std::size_t digits = (text.size() - 1) / 3;
  *r = static_cast<int>(std::stoi(text.substr(1, 2), nullptr, 16));
  *g = static_cast<int>(std::stoi(text.substr(1 + digits, 2), nullptr, 16));
  *b = static_cast<int>(std::stoi(text.substr(1 + 2 * digits, 2), nullptr, 16));
  return true;
}

bool OnPath(const char* program) {
  const std::string path = Env("PATH");
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string candidate = path.substr(start, end - start) + "/" + program;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

void IGraphicsX11::GetHostExeFolder(std::string* path) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  *path = n > 0 ? FolderOf(std::string(buffer, static_cast<std::size_t>(n))) : std::string();
}

void IGraphicsX11::GetPluginFolder(std::string* path) {
  Dl_info info{};
  static const int kAnchor = 0;
  if (::dladdr(&kAnchor, &info) && info.dli_fname) {
    char resolved[PATH_MAX];
    *path = FolderOf(::realpath(info.dli_fname, resolved) ? resolved : info.dli_fname);
  } else {
    path->clear();
  }
}

void IGraphicsX11::GetDesktopFolder(std::string* path) {
  const std::string home = Env("HOME");
  std::string desktop = DesktopFromUserDirs(home);
  if (desktop.empty() && !home.empty()) desktop = home + "/Desktop";
  *path = desktop;
}

void IGraphicsX11::GetAppDataFolder(std::string* path, bool allUsers) {
  if (allUsers) {
    // The first of the system's data folders.
    std::string dirs = Env("XDG_DATA_DIRS");
    dirs = dirs.substr(0, dirs.find(':'));
    *path = dirs.empty() || dirs[0] != '/' ? "/usr/local/share" : dirs;
    return;
  }
  std::string data = Env("XDG_DATA_HOME");
  if (data.empty() || data[0] != '/') {
    const std::string home = Env("HOME");
    data = home.empty() ? std::string() : home + "/.local/share";
  }
  *path = data;
}

void IGraphicsX11::AskForFile(std::string* fileName, int action, std::string* folder,
                              const char* extensions) {
  if (!fileName) return;
  if (!mWindow) {
    fileName->clear();
    return;
  }
  std::string start = folder && !folder->empty() ? *folder : std::string();
  if (start.empty()) GetDesktopFolder(&start);
  start = WithSlash(start) + *fileName;
  std::string patterns;
  for (const std::string& extension : Words(extensions)) {
    patterns += (patterns.empty() ? "*." : " *.") + extension;
  }
  const bool save = action == kFileSave;
  std::string chosen;
  bool ran = false;
  if (Allowed("RHYTHMORIA_FILE_CHOOSER", "portal")) {
    PortalFileChooser::Request request;
    request.save = save;
    request.title = save ? "Save as" : "Open";
    char parent[32];
    std::snprintf(parent, sizeof parent, "x11:%x", static_cast<unsigned>(HostTopLevel()));
    request.parentWindow = parent;
    request.folder = FolderOf(start);
    request.name = *fileName;
    request.extensions = Words(extensions);
    PortalFileChooser::Result result = PortalFileChooser::Result::kUnavailable;
    RunModal([&] {
      result = PortalFileChooser::Ask(
          request, [this] { return ModalShouldEnd(); }, &chosen);
    });
    ran = result != PortalFileChooser::Result::kUnavailable;
  }
  if (!ran && Allowed("RHYTHMORIA_FILE_CHOOSER", "zenity") && OnPath("zenity")) {
    std::vector<std::string> argv = {"zenity", "--file-selection", "--filename=" + start};
    if (save) {
      argv.push_back("--save");
      argv.push_back("--confirm-overwrite");
    }
    if (!patterns.empty()) argv.push_back("--file-filter=" + patterns);
    ran = true;
    if (!RunCollecting(*this, argv, &chosen)) chosen.clear();
  } else if (!ran && Allowed("RHYTHMORIA_FILE_CHOOSER", "kdialog") && OnPath("kdialog")) {
    std::vector<std::string> argv = {"kdialog", save ? "--getsavefilename" : "--getopenfilename",
                                     start};
    if (!patterns.empty()) argv.push_back(patterns);
    ran = true;
    if (!RunCollecting(*this, argv, &chosen)) chosen.clear();
  }
  if (!ran) {
    chosen = start;
    const std::string prompt =
        std::string(save ? "Save as" : "Open") + " (" + (patterns.empty() ? "*" : patterns) + "):";
    if (!AskForPathBuiltIn(*this, prompt, &chosen)) chosen.clear();
  }
  while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
  // Only a full path is an answer; an opened file must exist.
  if (chosen.empty() || chosen[0] != '/' || chosen.size() > 255 ||
      (!save && ::access(chosen.c_str(), R_OK) != 0)) {
    chosen.clear();
  }
  *fileName = chosen;
  if (!chosen.empty() && folder) *folder = FolderOf(chosen);
}

bool IGraphicsX11::AskForColor(Color* color, const char* title) {
  if (!color || !mWindow) return false;
  const std::string caption = title && *title ? title : "Colour";
  char hex[8];
  std::snprintf(hex, sizeof hex, "#%02x%02x%02x", color->R & 0xff, color->G & 0xff,
                color->B & 0xff);
  std::vector<std::string> argv;
  if (Allowed("RHYTHMORIA_COLOR_CHOOSER", "zenity") && OnPath("zenity")) {
    argv = {"zenity", "--color-selection", "--title=" + caption, std::string("--color=") + hex};
  } else if (Allowed("RHYTHMORIA_COLOR_CHOOSER", "kdialog") && OnPath("kdialog")) {
    argv = {"kdialog", "--getcolor", "--default", hex, "--title", caption};
  }
  if (argv.empty()) return AskForColorBuiltIn(*this, caption, color);
  std::string answer;
  int r = 0;
  int g = 0;
  int b = 0;
  // A cancelled chooser exits with 1; anything we cannot read is nothing chosen too.
  if (!RunCollecting(*this, argv, &answer) || !ParseColorAnswer(answer, &r, &g, &b)) return false;
  color->R = r;
  color->G = g;
  color->B = b;
  return true;
}

bool IGraphicsX11::OpenWebPage(const char* url, const char* caption, const char* confirmText,
                               const char* errorText) {
  if (!url || !*url) return false;
  if (confirmText && ShowMessageBox(confirmText, caption, kMbYesNo) != kIdYes) return false;
  const std::string opener =
      Env("RHYTHMORIA_URL_OPENER").empty() ? "xdg-open" : Env("RHYTHMORIA_URL_OPENER");
  char* argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(url), nullptr};
  pid_t pid = 0;
  bool opened = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv, environ) == 0;
  if (opened) {
    // xdg-open answers at once on most desktops, but some wait for the browser: a failure in the
    // first seconds counts, after that it is left to finish on its own.
    int status = 0;
    pid_t done = 0;
    RunModal([&] {
      for (int i = 0; i < 60 && (done = ::waitpid(pid, &status, WNOHANG)) == 0; ++i) {
        ::poll(nullptr, 0, 50);
      }
    });
    if (done == pid) {
      opened = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    } else {
      std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    }
  }
  if (!opened && errorText) ShowMessageBox(errorText, caption, kMbOk);
  return opened;
}

bool IGraphicsX11::ReadClipboardText(std::string* text) {
  if (!text) return false;
  text->clear();
  if (!mWindow) return false;
  const xcb_atom_t clipboard = Atom("CLIPBOARD");
  const xcb_atom_t utf8 = Atom("UTF8_STRING");
  const xcb_atom_t target = Atom("RHYTHMORIA_CLIPBOARD");
  xcb_convert_selection(mConn, mWindow, clipboard, utf8, target, XCB_CURRENT_TIME);
  xcb_flush(mConn);
  // The owner answers with a SelectionNotify; other events wait for the editor's next pass.
  bool converted = false;
  for (int i = 0; i < 40 && !converted; ++i) {
    xcb_generic_event_t* e = xcb_poll_for_event(mConn);
    if (!e) {
      pollfd p = {xcb_get_file_descriptor(mConn), POLLIN, 0};
      ::poll(&p, 1, 25);
      continue;
    }
    if ((e->response_type & 0x7f) == XCB_SELECTION_NOTIFY) {
      const auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
      if (n->property == XCB_NONE) {
        std::free(e);
        return false;
      }
      converted = true;
      std::free(e);
    } else {
      mDeferred.push_back(e);
    }
  }
  if (!converted) return false;
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      mConn, xcb_get_property(mConn, 1, mWindow, target, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20),
      nullptr);
  if (!reply) return false;
  // Large texts come in increments (INCR), which we do not take: the editor pastes names.
  if (reply->type == utf8 || reply->type == XCB_ATOM_STRING) {
    const char* data = static_cast<const char*>(xcb_get_property_value(reply));
    text->assign(data, static_cast<std::size_t>(xcb_get_property_value_length(reply)));
  }
  std::free(reply);
  return !text->empty();
}
