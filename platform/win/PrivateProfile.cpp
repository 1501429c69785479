// The settings file through Windows' own private-profile functions, so a user's INI file is read
// and written exactly as every other Windows program treats one.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/Platform.h"

namespace platform {
namespace {

bool HasLineBreak(const char* text) {
  return text && std::strpbrk(text, "\r\n") != nullptr;
}

DWORD BufferSize(std::size_t size) {
  return static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
}

}  // namespace

std::size_t IniGetString(const char* section, const char* key, const char* defaultValue,
                         char* buffer, std::size_t size, const std::string& path) {
  if (!buffer || size == 0) return 0;
  // The system would answer a null section or key with every name in the file; here it reads
  // as missing, which gives the default as the system gives it: without trailing blanks.
  if (!section || !key) {
    std::string_view value = defaultValue ? defaultValue : "";
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    const std::size_t n = std::min(value.size(), size - 1);
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return n;
  }
  return GetPrivateProfileStringA(section, key, defaultValue ? defaultValue : "", buffer,
                                  BufferSize(size), path.c_str());
}

// The system keeps the file it read last in memory, so reading key by key through it costs no
// file access per key: the snapshot only remembers the path.
IniSnapshot::IniSnapshot(const std::string& path) : mPath(path) {}

std::size_t IniSnapshot::GetString(const char* section, const char* key, const char* defaultValue,
                                   char* buffer, std::size_t size) const {
  return IniGetString(section, key, defaultValue, buffer, size, mPath);
}

bool IniWriteString(const char* section, const char* key, const char* value,
                    const std::string& path) {
  if (!section || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  return WritePrivateProfileStringA(section, key, value, path.c_str()) != FALSE;
}

bool IniWriteSection(const char* section, const char* lines, const std::string& path) {
  if (!section || !lines || HasLineBreak(section)) return false;
  for (const char* line = lines; *line; line += std::strlen(line) + 1) {
    if (HasLineBreak(line)) return false;
  }
  return WritePrivateProfileSectionA(section, lines, path.c_str()) != FALSE;
}

}  // namespace platform
