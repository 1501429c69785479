// The user's folders as the shell names them.
#include <shlobj.h>
#include <windows.h>

#include "platform/Platform.h"

namespace platform {
namespace {

std::string ShellFolder(int which) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
  return path;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::string LocalAppDataFolder() {
  return ShellFolder(CSIDL_LOCAL_APPDATA);
}

std::string DocumentsFolder() {
  return ShellFolder(CSIDL_PERSONAL);
}

std::string JoinPath(const std::string& folder, const char* name) {
  if (folder.empty() || IsSeparator(folder.back())) return folder + name;
  return folder + "\\" + name;
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const std::string& path) {
  if (path.empty()) return false;
  // Parents first. The drive ("C:") or a share's server cannot be created and need not be: such
  // a failure shows when the folder itself is missing afterwards.
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (IsSeparator(path[i]) && !IsSeparator(path[i - 1])) {
      CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
  }
  CreateDirectoryA(path.c_str(), nullptr);
  return FolderExists(path);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace platform
