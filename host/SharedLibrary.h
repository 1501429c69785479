#pragma once

#include <memory>
#include <string>

namespace vsthost {

// A plug-in binary loaded into this process: a shared object on Linux, a DLL on Windows. The one
// place where our host depends on the operating system.
class SharedLibrary {
 public:
  // Null with a message in *error when the system cannot load the file.
  static std::unique_ptr<SharedLibrary> Open(const std::string& path, std::string* error);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The address of an exported function, or null when the library exports no such name.
  void* Function(const char* name) const;

 private:
  explicit SharedLibrary(void* handle) : mHandle(handle) {}
  void* mHandle;
};

}  // namespace vsthost
