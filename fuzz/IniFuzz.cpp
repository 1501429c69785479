// Settings files as a user might leave them: whatever the file holds, reading it neither crashes
// nor hangs, and what we write back reads back the same, with the file's other sections intact.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/Rhythmoria.h"
#include "platform/Platform.h"

namespace {

std::string& SettingsHome() {
  static std::string folder;
  return folder;
}

// One instance for the whole run, with a settings folder of its own (on a memory file system
// where there is one, since every input is written to disk), never the user's.
Synth& FuzzSynth() {
  static Synth* synth = [] {
    std::string& folder = SettingsHome();
    folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    folder += "/rhythmoria-ini-fuzz-XXXXXX";
    if (!::mkdtemp(folder.data())) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(SettingsHome(), ignored);
    });
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    auto* s = new Synth(IPlugInstanceInfo{}, Rhythmoria::kConfig);
    if (s->IniPath().empty()) std::abort();
    return s;
  }();
  return *synth;
}

struct Settings {
  int middleC;
  bool thru;
  bool ignore;
  std::array<int, Synth::kNumMappableControllers> map;
  bool operator==(const Settings&) const = default;
};

Settings Snapshot(const Synth& synth) {
  Settings s{synth.GetMiddleC(), synth.MidiThru(), synth.IgnoreProgramChange(), {}};
  for (int cc = 0; cc < Synth::kNumMappableControllers; ++cc) {
    s.map[static_cast<std::size_t>(cc)] = synth.ControllerTarget(cc);
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Synth& synth = FuzzSynth();
  const std::string& path = synth.IniPath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);

  if (!synth.ReadConfiguration()) std::abort();
  const Settings read = Snapshot(synth);
  synth.WriteConfiguration(Synth::ConfigItem::All);
  if (!platform::IniWriteString("Fuzz Check", "Key", "value", path)) std::abort();
  char text[8];
  platform::IniGetString("fuzz check", "KEY", "", text, sizeof(text), path);
  if (std::strcmp(text, "value") != 0) std::abort();
  if (!synth.ReadConfiguration() || !(Snapshot(synth) == read)) std::abort();
  return 0;
}
