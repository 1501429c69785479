// The plug-in binary's only exported functions: hosts look up VSTPluginMain, and older ones
// "main", to create an instance.

#include <algorithm>
#include <mutex>
#include <new>

#include "engine/Rhythmoria.h"
#include "framework/vst2/VstInterface.h"

#if defined(_WIN32)
#define RHYTHMORIA_EXPORT extern "C" __declspec(dllexport)
#else
#define RHYTHMORIA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

constexpr int kEmptyProgramFill = 64;

// Instances are built one at a time: construction fills process-wide tables (the sine table,
// the factory rhythms) that two hosts' threads must not build at once.
std::mutex& ConstructionLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

RHYTHMORIA_EXPORT AEffect* VSTPluginMain(audioMasterCallback hostCallback) {
  std::lock_guard<std::mutex> lock(ConstructionLock());
  Rhythmoria* plug = nullptr;
  try {
    plug = new Rhythmoria(IPlugInstanceInfo{hostCallback});
    plug->FillEmptyPrograms("Empty", kEmptyProgramFill);
  } catch (...) {
    // Nothing may unwind into the host: a plug-in that cannot be built is reported as none.
    delete plug;
    return nullptr;
  }
  AEffect* effect = plug->GetAEffect();
  effect->numPrograms = std::max(effect->numPrograms, 1);
  return effect;
}

#if !defined(_WIN32)
// C++ forbids a function called main that returns a pointer, so the second name is an alias of
// the first, given at the symbol level. (The Windows build exports it from its module file.)
extern "C" AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback) __asm__("main")
    __attribute__((alias("VSTPluginMain"), visibility("default")));
#endif
