#include "resources/EmbeddedResources.h"

#include <cstring>

namespace embedded {
// Generated from factory-bank.fxb (see EmbedFile.cmake).
extern const unsigned char kFactoryBankData[];
extern const std::size_t kFactoryBankSize;
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
