// The process callbacks allocate nothing. This program replaces the global allocation functions;
// the plug-in binary's calls reach them through the dynamic linker like any libstdc++ user's.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "tests/e2e/PluginFixture.h"

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};

}  // namespace

#ifndef RHYTHMORIA_SANITIZED
namespace {
void* Allocate(std::size_t size) {
  if (gCounting.load(std::memory_order_relaxed)) ++gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
#endif

namespace {

long CountAllocations(const std::function<void()>& work) {
  gAllocations = 0;
  gCounting = true;
  work();
  gCounting = false;
  return gAllocations.load();
}

TEST(AllocationTest, ProcessCallbacksDoNotAllocate) {
#ifdef RHYTHMORIA_SANITIZED
  GTEST_SKIP() << "the sanitizers bring their own allocator";
#endif
  auto host = e2e::LoadPlugin();
  ASSERT_TRUE(host);
  e2e::StartRhythm(*host);
  host->ProcessReplacing(512);
  // The hook sees the plug-in's allocations: a chunk request allocates.
  EXPECT_GT(CountAllocations([&] { host->GetChunk(true); }), 0);

  // Seconds of a running rhythm, with notes to the host and from it, through every callback.
  EXPECT_EQ(CountAllocations([&] {
              for (int block = 0; block < 300; ++block) {
                if (block % 10 == 0) host->QueueMidi(3, 0x99, 38, 100);
                host->ProcessReplacing(512);
                host->ProcessAccumulating(256);
                host->ProcessDouble(128);
              }
            }),
            0);
  EXPECT_FALSE(host->TakeMidiOut().empty());
}

}  // namespace
