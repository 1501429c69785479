// The plug-in binary as a host sees it: loading an instance (VSTPluginMain, effOpen, effClose),
// and the cost of a block while nothing plays. The binary is the build's own, or the one named by
// the environment variable RHYTHMORIA_PLUGIN (to compare two builds in one sitting).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/PluginHost.h"
#include "host/SharedLibrary.h"

namespace {

std::string PluginPath() {
  const char* path = std::getenv("RHYTHMORIA_PLUGIN");
  return path && *path ? path : RHYTHMORIA_PLUGIN_PATH;
}

VstIntPtr VSTCALLBACK QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

using Entry = AEffect* (*)(audioMasterCallback);

Entry LoadEntry(std::unique_ptr<vsthost::SharedLibrary>* library) {
  std::string error;
  *library = vsthost::SharedLibrary::Open(PluginPath(), &error);
  if (!*library) return nullptr;
  return reinterpret_cast<Entry>((*library)->Function("VSTPluginMain"));
}

bool OpenAndClose(Entry entry) {
  AEffect* effect = entry(&QuietHost);
  if (!effect) return false;
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  return true;
}

// Later instances: the library stays loaded, as in a host that already has one.
void BM_LoadInstance(benchmark::State& state) {
  std::unique_ptr<vsthost::SharedLibrary> library;
  const Entry entry = LoadEntry(&library);
  if (!entry || !OpenAndClose(entry)) {
    state.SkipWithError("cannot load the plug-in");
    return;
  }
  for (auto _ : state) {
    if (!OpenAndClose(entry)) state.SkipWithError("no instance");
  }
}
BENCHMARK(BM_LoadInstance)->Unit(benchmark::kMillisecond);

// The first instance in a process, library loading included: each one in a fresh child process.
void BM_LoadFirstInstance(benchmark::State& state) {
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) {
      state.SkipWithError("pipe");
      return;
    }
    const pid_t child = fork();
    if (child == 0) {
      close(fds[0]);
      const auto start = std::chrono::steady_clock::now();
      std::unique_ptr<vsthost::SharedLibrary> library;
      const Entry entry = LoadEntry(&library);
      const bool ok = entry && OpenAndClose(entry);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const bool sent = write(fds[1], &seconds, sizeof(seconds)) == sizeof(seconds);
      _exit(ok && sent ? 0 : 1);
    }
    close(fds[1]);
    double seconds = 0.0;
    const bool got = read(fds[0], &seconds, sizeof(seconds)) == sizeof(seconds);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the child could not load the plug-in");
      return;
    }
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_LoadFirstInstance)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// A loaded, active instance with the transport stopped and no note sounding.
void BM_StoppedBlock(benchmark::State& state) {
  vsthost::HostSettings settings;
  settings.blockSize = static_cast<int>(state.range(0));
  settings.playing = false;
  std::string error;
  auto host = vsthost::PluginHost::Load(PluginPath(), settings, &error);
  if (!host) {
    state.SkipWithError(error.c_str());
    return;
  }
  host->Start();
  for (auto _ : state) {
    host->ProcessReplacing(settings.blockSize);
    benchmark::DoNotOptimize(host->Output(0)[0]);
  }
  state.counters["ns/sample"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * settings.blockSize,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_StoppedBlock)->Arg(512)->Arg(32);

}  // namespace
