// On Windows the data are the module's own resources (Resources.rc), found through the handle of
// the module holding this code: the plug-in DLL inside a host, or a program that links it.
#include <windows.h>

#include "resources/EmbeddedResources.h"

EmbeddedResource FindEmbeddedResource(const char* name, const char* type) {
  if (!name || !type) return {nullptr, 0};
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&FindEmbeddedResource), &module)) {
    return {nullptr, 0};
  }
  HRSRC found = FindResourceA(module, name, type);
  if (!found) return {nullptr, 0};
  // Loaded resources stay mapped as long as the module, and need no freeing.
  const void* data = LockResource(LoadResource(module, found));
  if (!data) return {nullptr, 0};
  return {static_cast<const unsigned char*>(data), SizeofResource(module, found)};
}
