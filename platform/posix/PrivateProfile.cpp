// The private-profile functions over a file of our own: every read parses the file afresh (a
// snapshot parses one read of it for many keys), every write rewrites it through a temporary file
// renamed over the old one, so a failed or interrupted write leaves the old file whole.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/IniText.h"

namespace platform {
namespace {

// Far beyond any settings file; a larger one is not ours to parse or rewrite.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

// Instances in one process write one after the other, so none loses another's change.
std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

enum class ReadResult { kRead, kMissing, kFailed };

ReadResult ReadFile(const std::string& path, std::string* text, mode_t* mode = nullptr) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat info {};
  ReadResult result = ReadResult::kRead;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFileSize) {
    result = ReadResult::kFailed;
  } else {
    if (mode) *mode = info.st_mode & 07777;
    text->clear();
    char block[8192];
    for (;;) {
      const ssize_t n = ::read(fd, block, sizeof(block));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || text->size() + static_cast<std::size_t>(n) > kMaxFileSize) {
        result = ReadResult::kFailed;
        break;
      }
      if (n == 0) break;
      text->append(block, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return result;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A settings file kept elsewhere behind a symbolic link stays there, and the link stays a link.
std::string ResolveLinks(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) return resolved;
  return path;
}

// A new file stays private to the user (the temporary file's mode); a replaced one keeps its mode.
bool ReplaceFile(const std::string& path, const std::string& text, std::optional<mode_t> mode) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = (!mode || ::fchmod(fd, *mode) == 0) && WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

template <typename Edit>
bool EditFile(const std::string& path, Edit&& edit) {
  if (path.empty()) return false;
  std::lock_guard<std::mutex> lock(WriteMutex());
  const std::string target = ResolveLinks(path);
  std::string text;
  // A file that exists but cannot be read is never replaced: its other sections would be lost.
  mode_t mode = 0;
  const ReadResult read = ReadFile(target, &text, &mode);
  if (read == ReadResult::kFailed) return false;
  IniText ini(text);
  edit(ini);
  return ReplaceFile(target, ini.Text(),
                     read == ReadResult::kRead ? std::optional<mode_t>(mode) : std::nullopt);
}

bool HasLineBreak(const char* text) {
  return text && std::strpbrk(text, "\r\n") != nullptr;
}

bool IsStorableSection(const char* section) {
  return section && !HasLineBreak(section) && !std::strchr(section, ']');
}

bool IsStorableKey(const char* key) {
  if (HasLineBreak(key) || std::strchr(key, '=')) return false;
  const char* first = key;
  while (*first == ' ' || *first == '\t') ++first;
  return *first != '[';
}

std::string_view TrimTrailingBlanks(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

IniSnapshot::IniSnapshot(const std::string& path) : mPath(path) {
  mRead = ReadFile(path, &mText) == ReadResult::kRead;
}

std::size_t IniSnapshot::GetString(const char* section, const char* key, const char* defaultValue,
                                   char* buffer, std::size_t size) const {
  if (!buffer || size == 0) return 0;
  std::optional<std::string_view> value;
  if (section && key && mRead) value = IniText::Find(mText, section, key);
  const std::string_view chosen =
      value ? Unquote(*value) : TrimTrailingBlanks(defaultValue ? defaultValue : "");
  // A NUL inside the file ends the value, so the count always matches what the caller sees.
  std::size_t n = std::min(chosen.size(), size - 1);
  if (const void* nul = std::memchr(chosen.data(), '\0', n)) {
    n = static_cast<std::size_t>(static_cast<const char*>(nul) - chosen.data());
  }
  std::memcpy(buffer, chosen.data(), n);
  buffer[n] = '\0';
  return n;
}

std::size_t IniGetString(const char* section, const char* key, const char* defaultValue,
                         char* buffer, std::size_t size, const std::string& path) {
  if (!buffer || size == 0) return 0;
  return IniSnapshot(path).GetString(section, key, defaultValue, buffer, size);
}

bool IniWriteString(const char* section, const char* key, const char* value,
                    const std::string& path) {
  if (!IsStorableSection(section)) return false;
  if (!key) return EditFile(path, [&](IniText& ini) { ini.RemoveSection(section); });
  if (!IsStorableKey(key)) return false;
  if (!value) return EditFile(path, [&](IniText& ini) { ini.RemoveKey(section, key); });
  if (HasLineBreak(value)) return false;
  return EditFile(path, [&](IniText& ini) { ini.SetKey(section, key, value); });
}

bool IniWriteSection(const char* section, const char* lines, const std::string& path) {
  if (!IsStorableSection(section) || !lines) return false;
  std::vector<std::string_view> content;
  for (const char* line = lines; *line; line += std::strlen(line) + 1) {
    if (HasLineBreak(line)) return false;
    content.emplace_back(line);
  }
  return EditFile(path, [&](IniText& ini) { ini.ReplaceSection(section, content); });
}

}  // namespace platform
