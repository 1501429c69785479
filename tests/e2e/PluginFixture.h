#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/PluginHost.h"

// Sanitizer builds bring their own allocator, and their plug-in binary loads only into programs
// that carry the sanitizer's runtime.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RHYTHMORIA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define RHYTHMORIA_SANITIZED 1
#endif
#endif

namespace e2e {

// The plug-in binary this build made.
inline const char* PluginPath() {
  return RHYTHMORIA_PLUGIN_PATH;
}

// The binary loaded and started like a DAW does; null (with a test failure) when it fails.
std::unique_ptr<vsthost::PluginHost> LoadPlugin(const vsthost::HostSettings& settings = {},
                                                bool start = true);

// The engine built into the test program, driven through the same host and the same AEffect
// calls as the binary.
std::unique_ptr<vsthost::PluginHost> CreateInProcess(const vsthost::HostSettings& settings = {},
                                                     bool start = true);

// Switches the rhythm on so blocks carry sound and MIDI out: rhythm 1 running with the host's
// transport.
void StartRhythm(vsthost::PluginHost& host);

// True when some sample is NaN, infinite or subnormal.
bool HasBadSample(const float* samples, int frames);

}  // namespace e2e
