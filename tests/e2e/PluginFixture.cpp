#include "tests/e2e/PluginFixture.h"

#include <cmath>

#include "engine/Rhythmoria.h"

namespace e2e {

namespace {

AEffect* InProcessEntry(audioMasterCallback hostCallback) {
  auto* plug = new Rhythmoria(IPlugInstanceInfo{hostCallback});
  plug->FillEmptyPrograms("Empty", 64);
  return plug->GetAEffect();
}

std::unique_ptr<vsthost::PluginHost> Started(std::unique_ptr<vsthost::PluginHost> host,
                                             const std::string& error, bool start) {
  EXPECT_TRUE(host) << error;
  if (host && start) host->Start();
  return host;
}

}  // namespace

std::unique_ptr<vsthost::PluginHost> LoadPlugin(const vsthost::HostSettings& settings, bool start) {
  std::string error;
  auto host = vsthost::PluginHost::Load(PluginPath(), settings, &error);
  return Started(std::move(host), error, start);
}

std::unique_ptr<vsthost::PluginHost> CreateInProcess(const vsthost::HostSettings& settings,
                                                     bool start) {
  std::string error;
  auto host = vsthost::PluginHost::Create(InProcessEntry, settings, &error);
  return Started(std::move(host), error, start);
}

void StartRhythm(vsthost::PluginHost& host) {
  ASSERT_TRUE(host.SetParameterText(host.FindParameter("Rhythm 1"), "on"));
  ASSERT_TRUE(host.SetParameterText(host.FindParameter("Tempo Sync"), "on"));
}

bool HasBadSample(const float* samples, int frames) {
  for (int i = 0; i < frames; ++i) {
    const int kind = std::fpclassify(samples[i]);
    if (kind != FP_ZERO && kind != FP_NORMAL) return true;
  }
  return false;
}

}  // namespace e2e
