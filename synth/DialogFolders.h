#pragma once

#include <string>

// The folders the program, start-up bank and MIDI file dialogs open in. Shared by every plug-in
// instance in the process: the first instance that shows a file dialog sets all three to its
// program folder, and each then follows the files chosen in its dialog. Not saved anywhere.
//
// Threads: instances may live on different editor threads, so every access is locked.
class DialogFolders {
 public:
  enum Kind : int { kPrograms = 0, kStartupBank = 1, kMidiFiles = 2, kNumKinds = 3 };

  // The folder of kind; on the process's first call all three start as initialFolder.
  static std::string Get(int kind, const std::string& initialFolder);
  // The folder of kind becomes the folder of the chosen file (up to and including its last
  // separator); a bare file name leaves it as it was.
  static void FollowFile(int kind, const std::string& filePath);
  // Forgets the folders, as in a new process. For tests.
  static void Reset();

  // Everything of path up to and including its last "/" or "\"; empty without one.
  static std::string FolderOf(const std::string& path);
};
