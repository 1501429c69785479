#pragma once

#include <cstddef>

// Data the plug-in carries inside its binary, found by resource name and type. Here the bytes are
// linked in; a Windows build may answer the same call from the module's own resources.
struct EmbeddedResource {
  const unsigned char* data;
  std::size_t size;
};

// The factory bank is ("PROGINIT", "PROGDATA"), laid out as a bank file; the editor's bitmaps are
// ("#101", "PNG") and so on, named by their numeric resource id. Unknown names, unknown
// types and null arguments answer {nullptr, 0}. The data lives as long as the process.
EmbeddedResource FindEmbeddedResource(const char* name, const char* type);
