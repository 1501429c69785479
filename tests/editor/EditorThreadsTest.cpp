// Runs under the thread sanitizer: values set from other threads while the editor draws, and two
// editors drawing at once from the shared caches.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "editor/BitmapCache.h"
#include "tests/editor/EditorFixture.h"
#include "tests/support/FakeHost.h"
#include "tools/EditorPreview.h"

namespace editor_test {
namespace {

constexpr int kBoundParams = 40;
constexpr int kWrites = 20000;

TEST_F(EditorTest, HostValuesFromAnotherThreadWhileTheEditorDraws) {
  std::vector<ProbeControl*> controls;
  for (int p = 0; p < kBoundParams; ++p) {
    controls.push_back(Probe(Rect(p * 10, 0, p * 10 + 10, 10), p));
    Probe(Rect(p * 10, 10, p * 10 + 10, 20), p);  // a second control on each parameter
  }
  gui->Open();
  std::atomic<bool> done{false};
  // The audio thread's automation path: the plug-in mutex held, the value stored for the editor.
  std::thread audio([&] {
    for (int i = 0; i < kWrites; ++i) {
      const int p = i % kBoundParams;
      const double value = (i % 97) / 96.0;
      IPlugBase::ScopedLock lock(plug.GetMutex());
      gui->SetControlsFromParameter(p, value, true);
      plug.GetParam(p)->SetFromNormalized(value);
    }
    done.store(true);
  });
  int ticks = 0;
  while (!done.load()) {
    gui->Tick();
    // The user edits too, through the plug-in.
    if (++ticks % 16 == 0) controls[ticks % kBoundParams]->SetValueFromUser(0.5);
  }
  audio.join();
  // Once the writes stop, the next tick shows every parameter's last value in both controls.
  for (int p = 0; p < kBoundParams; ++p) {
    gui->SetControlsFromParameter(p, plug.GetParam(p)->GetNormalizedValue(), true);
  }
  gui->Tick();
  for (int p = 0; p < kBoundParams; ++p) {
    EXPECT_DOUBLE_EQ(controls[static_cast<std::size_t>(p)]->GetValue(),
                     plug.GetParam(p)->GetNormalizedValue());
  }
}

TEST(EditorThreads, TwoEditorsDrawAtOnceFromTheSharedCaches) {
  testing_support::FakeHost first;
  testing_support::FakeHost second;
  IGraphicsHeadless* a = OpenPreviewEditor(first, {});
  IGraphicsHeadless* b = OpenPreviewEditor(second, {});
  // Both threads meet the first decode of every bitmap and the first use of the font.
  BitmapCache::Instance().ReleasePixels();
  auto draw = [](IGraphicsHeadless* editor) {
    for (int i = 0; i < 5; ++i) editor->RedrawAll();
  };
  std::thread other(draw, b);
  draw(a);
  other.join();
  const LICE_MemBitmap& sa = a->Screen();
  const LICE_MemBitmap& sb = b->Screen();
  ASSERT_EQ(sa.getWidth(), sb.getWidth());
  EXPECT_TRUE(
      std::equal(sa.getBits(), sa.getBits() + sa.getWidth() * sa.getHeight(), sb.getBits()));
}

}  // namespace
}  // namespace editor_test
