#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "tests/framework/TestPlug.h"
#include "tests/support/FakeHost.h"

// Counts the allocations of the current thread while counting is switched on. A MIDI program
// change runs RestoreProgram on the audio thread, where allocating is not allowed.
namespace {
thread_local bool gCounting = false;
thread_local int gAllocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (gCounting) ++gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

using framework_test::TestPlug;

int AllocationsDuring(TestPlug& plug, int program) {
  gAllocations = 0;
  gCounting = true;
  const bool restored = plug.RestoreProgram(program);
  gCounting = false;
  EXPECT_TRUE(restored);
  return gAllocations;
}

TEST(RestoreProgramAllocationTest, ProgramChangesAfterABankLoadDoNotAllocate) {
  TestPlug source;
  for (int i = 0; i < 64; i += 2) {
    ASSERT_TRUE(source.RestoreProgram(i));
    source.SetSeededValues(i);
    source.ModifyCurrentPreset("A stored program with a long name that lives on the heap");
  }
  const std::uint8_t* data = nullptr;
  int size = 0;
  ASSERT_TRUE(source.WriteHostChunk(true, &data, &size));

  TestPlug plug;
  plug.FillEmptyPrograms("Empty", 64);
  ASSERT_TRUE(plug.ReadHostChunk(data, size, true, false));
  ASSERT_FALSE(plug.GetProgram(5)->mInitialized);

  EXPECT_EQ(AllocationsDuring(plug, 4), 0) << "a stored program";
  EXPECT_EQ(AllocationsDuring(plug, 5), 0) << "an empty slot becoming a user preset";
  EXPECT_EQ(AllocationsDuring(plug, 7), 0) << "a second one";

  // A rejected bank gives the slots back; they must keep their room.
  const std::vector<std::uint8_t> cut(data, data + size / 3);
  ASSERT_FALSE(plug.ReadHostChunk(cut.data(), static_cast<int>(cut.size()), true, false));
  EXPECT_EQ(AllocationsDuring(plug, 9), 0) << "an empty slot after a rollback";
}

// The engine stores the live state into the empty slot, and that state carries the name of the
// program being left, which may be of any length.
TEST(RestoreProgramAllocationTest, AMidiProgramChangeIntoAnEmptySlotDoesNotAllocate) {
  testing_support::FakeHost plug;
  plug.Start();
  plug.ModifyCurrentPreset("A current program whose name is far too long for inline storage");
  plug.GetProgram(9)->mInitialized = false;
  gAllocations = 0;
  gCounting = true;
  plug.OnMidiMessage(IMidiMessage(0, 0xC0, 9, 0));
  gCounting = false;
  EXPECT_EQ(plug.GetCurrentProgram(), 9);
  EXPECT_EQ(gAllocations, 0);
}

}  // namespace
