#include <dlfcn.h>

#include "host/SharedLibrary.h"

namespace vsthost {

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& path, std::string* error) {
  // RTLD_LOCAL: two plug-ins exporting the same names must each keep their own.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    *error = "cannot load " + path + ": " + (why ? why : "unknown error");
    return nullptr;
  }
  return std::unique_ptr<SharedLibrary>(new SharedLibrary(handle));
}

SharedLibrary::~SharedLibrary() {
  dlclose(mHandle);
}

void* SharedLibrary::Function(const char* name) const {
  return dlsym(mHandle, name);
}

}  // namespace vsthost
