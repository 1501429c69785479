#pragma once

#include <cstddef>
#include <string>

// What the plug-in takes from the operating system outside its editor window: the per-user
// settings file in the private-profile (INI) format and the user's folders. One implementation per
// operating system; the Windows one maps each call onto the system function of the same meaning.
//
// Threads: these touch the file system, so never call them on the audio thread.
namespace platform {

// Reads the value of key in section of the INI file at path into buffer.
// Sections and keys match without regard to letter case; of several equal sections the first is
// read, and in it the first equal key. The value loses surrounding blanks and one pair of
// enclosing quotes ('…' or "…"). A missing file, section or key, or a key line without "=", gives
// defaultValue (nullptr: empty) without its trailing blanks. At most size - 1 characters are
// copied and the buffer is always terminated; size 0 writes nothing. Answers the number of
// characters copied. A null section or key reads as missing.
std::size_t IniGetString(const char* section, const char* key, const char* defaultValue,
                         char* buffer, std::size_t size, const std::string& path);

// The settings file read once, for reading many keys: GetString answers exactly what IniGetString
// would have answered for the file as it was when the snapshot was taken, without opening the
// file again for every key. Writes do not change a snapshot; take a new one to see them.
class IniSnapshot {
 public:
  explicit IniSnapshot(const std::string& path);

  // As IniGetString, for the snapshot's file.
  std::size_t GetString(const char* section, const char* key, const char* defaultValue,
                        char* buffer, std::size_t size) const;

 private:
  std::string mPath;
  std::string mText;
  bool mRead = false;
};

// Sets key in section to value, adding the file (not its folder), the section or the key when
// missing. A null value removes the key, a null key removes the section. Every other line of the
// file stays as it was, and the file is replaced whole or not at all. False on failure, also for
// a section, key or value holding a line break (which would forge lines of its own).
bool IniWriteString(const char* section, const char* key, const char* value,
                    const std::string& path);

// Replaces everything in section with lines, given as consecutive NUL-terminated strings
// ("key=value") closed by an empty one; "" leaves the section empty. Adds the section when missing.
// Same guarantees as IniWriteString.
bool IniWriteSection(const char* section, const char* lines, const std::string& path);

// The user's folder for per-user application settings; empty when there is none.
std::string LocalAppDataFolder();
// The user's documents folder (the home folder where no documents folder is named); empty when
// there is none.
std::string DocumentsFolder();

// folder and name joined with the system's separator.
std::string JoinPath(const std::string& folder, const char* name);
bool FolderExists(const std::string& path);
// Creates the folder and any missing parents; true when the folder exists afterwards.
bool CreateFolder(const std::string& path);
// True for an existing regular file (not a folder).
bool FileExists(const std::string& path);

}  // namespace platform
