#include "synth/DialogFolders.h"

#include <array>
#include <mutex>

namespace {

struct Folders {
  std::mutex mutex;
  bool initialised = false;
  std::array<std::string, DialogFolders::kNumKinds> paths;
};

Folders& ProcessFolders() {
  static Folders folders;
  return folders;
}

bool ValidKind(int kind) {
  return kind >= 0 && kind < DialogFolders::kNumKinds;
}

}  // namespace

std::string DialogFolders::Get(int kind, const std::string& initialFolder) {
  Folders& folders = ProcessFolders();
  std::lock_guard lock(folders.mutex);
  if (!folders.initialised) {
    folders.paths.fill(initialFolder);
    folders.initialised = true;
  }
  return ValidKind(kind) ? folders.paths[static_cast<std::size_t>(kind)] : initialFolder;
}

void DialogFolders::FollowFile(int kind, const std::string& filePath) {
  const std::string folder = FolderOf(filePath);
  if (folder.empty() || !ValidKind(kind)) return;
  Folders& folders = ProcessFolders();
  std::lock_guard lock(folders.mutex);
  folders.paths[static_cast<std::size_t>(kind)] = folder;
}

void DialogFolders::Reset() {
  Folders& folders = ProcessFolders();
  std::lock_guard lock(folders.mutex);
  folders.initialised = false;
  for (std::string& path : folders.paths) path.clear();
}

std::string DialogFolders::FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}
