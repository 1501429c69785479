#include "resources/EmbeddedResources.h"

#include <cstring>

namespace embedded {
// Generated from factory-bank.fxb (see EmbedFile.cmake).
extern const unsigned char kFactoryBankData[];
extern const std::size_t kFactoryBankSize;

// The editor's bitmaps, generated from png/*.png.
#define RHYTHMORIA_PNG(id)                     \
  extern const unsigned char kPng##id##Data[]; \
  extern const std::size_t kPng##id##Size;
RHYTHMORIA_PNG(101)
RHYTHMORIA_PNG(102)
RHYTHMORIA_PNG(103)
RHYTHMORIA_PNG(104)
RHYTHMORIA_PNG(105)
RHYTHMORIA_PNG(106)
RHYTHMORIA_PNG(107)
RHYTHMORIA_PNG(108)
RHYTHMORIA_PNG(110)
RHYTHMORIA_PNG(111)
RHYTHMORIA_PNG(112)
RHYTHMORIA_PNG(113)
RHYTHMORIA_PNG(114)
RHYTHMORIA_PNG(115)
RHYTHMORIA_PNG(116)
RHYTHMORIA_PNG(117)
RHYTHMORIA_PNG(118)
RHYTHMORIA_PNG(119)
RHYTHMORIA_PNG(120)
#undef RHYTHMORIA_PNG
}  // namespace embedded

namespace {

struct Entry {
  const char* name;
  const char* type;
  const unsigned char* data;
  const std::size_t* size;
};

// Bitmaps are named by their numeric id in the "#id" form Windows uses for numbered resources.
#define RHYTHMORIA_PNG_ENTRY(id) \
  { "#" #id, "PNG", embedded::kPng##id##Data, &embedded::kPng##id##Size }

const Entry kEntries[] = {
    {"PROGINIT", "PROGDATA", embedded::kFactoryBankData, &embedded::kFactoryBankSize},
    RHYTHMORIA_PNG_ENTRY(101),
    RHYTHMORIA_PNG_ENTRY(102),
    RHYTHMORIA_PNG_ENTRY(103),
    RHYTHMORIA_PNG_ENTRY(104),
    RHYTHMORIA_PNG_ENTRY(105),
    RHYTHMORIA_PNG_ENTRY(106),
    RHYTHMORIA_PNG_ENTRY(107),
    RHYTHMORIA_PNG_ENTRY(108),
    RHYTHMORIA_PNG_ENTRY(110),
    RHYTHMORIA_PNG_ENTRY(111),
    RHYTHMORIA_PNG_ENTRY(112),
    RHYTHMORIA_PNG_ENTRY(113),
    RHYTHMORIA_PNG_ENTRY(114),
    RHYTHMORIA_PNG_ENTRY(115),
    RHYTHMORIA_PNG_ENTRY(116),
    RHYTHMORIA_PNG_ENTRY(117),
    RHYTHMORIA_PNG_ENTRY(118),
    RHYTHMORIA_PNG_ENTRY(119),
    RHYTHMORIA_PNG_ENTRY(120),
};
#undef RHYTHMORIA_PNG_ENTRY

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
