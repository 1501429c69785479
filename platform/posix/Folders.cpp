// The user's folders where desktop Linux keeps them: settings under $XDG_CONFIG_HOME (default
// ~/.config), documents where the user-dirs file names them.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace platform {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  std::vector<char> scratch(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, scratch.data(), scratch.size(), &found) == 0 && found &&
      found->pw_dir) {
    home = found->pw_dir;
  }
  return home;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The two forms the user-dirs file allows: "$HOME/…" and an absolute path. Anything else names
// no folder.
std::string ExpandUserDir(std::string_view value) {
  constexpr std::string_view kHome = "$HOME";
  if (value.starts_with(kHome) && (value.size() == kHome.size() || value[kHome.size()] == '/')) {
    const std::string home = HomeFolder();
    if (home.empty()) return "";
    return WithoutTrailingSlashes(home + std::string(value.substr(kHome.size())));
  }
  if (value.starts_with('/')) return WithoutTrailingSlashes(std::string(value));
  return "";
}

// The value of XDG_DOCUMENTS_DIR in a file written as shell assignments: the last assignment
// wins, a quoted value may escape characters with a backslash.
std::string DocumentsFromUserDirs(const std::string& path) {
  constexpr std::string_view kName = "XDG_DOCUMENTS_DIR=";
  // Read with C stdio: the first iostream of a process builds the C++ locale machinery, which
  // cost more than the rest of reading the settings.
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char block[4096];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof(block), file)) > 0) text.append(block, n);
    std::fclose(file);
  }
  std::string found;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view rest(text.data() + start, end - start);
    start = end + 1;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (!rest.starts_with(kName)) continue;
    rest.remove_prefix(kName.size());
    std::string value;
    if (rest.starts_with('"')) {
      rest.remove_prefix(1);
      for (std::size_t i = 0; i < rest.size() && rest[i] != '"'; ++i) {
        if (rest[i] == '\\' && i + 1 < rest.size()) ++i;
        value += rest[i];
      }
    } else {
      value = rest.substr(0, rest.find_first_of(" \t\r#"));
    }
    found = ExpandUserDir(value);
  }
  return found;
}

}  // namespace

std::string LocalAppDataFolder() {
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  const std::string config = Environment("XDG_CONFIG_HOME");
  if (config.starts_with('/')) return WithoutTrailingSlashes(config);
  const std::string home = HomeFolder();
  return home.empty() ? "" : JoinPath(home, ".config");
}

std::string DocumentsFolder() {
  // Usually set only in the user-dirs file; the environment wins where a session exports it.
  std::string documents = ExpandUserDir(Environment("XDG_DOCUMENTS_DIR"));
  if (documents.empty()) {
    const std::string config = LocalAppDataFolder();
    if (!config.empty()) documents = DocumentsFromUserDirs(JoinPath(config, "user-dirs.dirs"));
  }
  return documents.empty() ? HomeFolder() : documents;
}

std::string JoinPath(const std::string& folder, const char* name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateFolder(const std::string& path) {
  if (path.empty()) return false;
  // Parents first; a component that already exists is fine. Settings folders are the user's own.
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string parent = path.substr(0, slash);
    if (::mkdir(parent.c_str(), 0700) != 0 && !FolderExists(parent)) return false;
  }
  ::mkdir(path.c_str(), 0700);
  return FolderExists(path);
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace platform
