#include "resources/EmbeddedResources.h"

#include <cstring>

namespace embedded {
// Generated from factory-bank.fxb and the bitmaps in png/ (see EmbedFile.cmake).
extern const unsigned char kFactoryBankData[];
extern const std::size_t kFactoryBankSize;
#define RHYTHMORIA_PNG(id)                     \
  extern const unsigned char kPng##id##Data[]; \
  extern const std::size_t kPng##id##Size;
#include "resources/EmbeddedPngs.inc"
#undef RHYTHMORIA_PNG
}  // namespace embedded

namespace {

struct Entry {
  const char* name;
  const char* type;
  const unsigned char* data;
  const std::size_t* size;
};

const Entry kEntries[] = {
    {"PROGINIT", "PROGDATA", embedded::kFactoryBankData, &embedded::kFactoryBankSize},
// The editor's bitmaps by the names Windows gives their integer ids: "#101" and so on.
#define RHYTHMORIA_PNG(id) {"#" #id, "PNG", embedded::kPng##id##Data, &embedded::kPng##id##Size},
#include "resources/EmbeddedPngs.inc"
#undef RHYTHMORIA_PNG
};

}  // namespace

EmbeddedResource FindEmbeddedResource(const char* name, const char* type) {
  if (!name || !type) return {nullptr, 0};
  for (const Entry& entry : kEntries) {
    if (std::strcmp(entry.name, name) == 0 && std::strcmp(entry.type, type) == 0) {
      return {entry.data, *entry.size};
    }
  }
  return {nullptr, 0};
}
