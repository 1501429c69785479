#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "editor/EditorPages.h"
#include "editor/GraphicsFactory.h"
#include "engine/ParameterIndex.h"
#include "platform/headless/IGraphicsHeadless.h"
#include "tests/support/FakeHost.h"
#include "tools/EditorPreview.h"

namespace editor_test {

// Instances built while it lives get a headless editor, laid out by the plug-in itself (as every
// instance of this test program does; see HeadlessEditors.cpp).
struct HeadlessFactoryScope {
  HeadlessFactoryScope() { SetGraphicsFactory(MakeHeadlessGraphics); }
};

// The engine under a fake host that records program selections (the program commands are
// tested with the commands).
class PagesHost : public testing_support::FakeHost {
 public:
  void SelectProgram(int programIdx) override { selected.push_back(programIdx); }
  std::vector<int> selected;
};

// Window positions of the editor's controls, as a user clicks them.
namespace at {
inline constexpr int kBarY = 387;
inline constexpr int kPrevX = 31, kNextX = 135, kPlayX = 432, kOptionsX = 498, kLearnX = 615;
inline constexpr int kPageAX = 680, kPageBX = 758;
inline int RhythmX(int i) {
  return 100 + 54 * i;
}
inline constexpr int kRhythmY = 312;
inline int ColumnX(int k) {
  return 73 + 50 * k;
}
inline constexpr int kOutputY = 317, kKeyY = 349;
inline int CellX(int c) {
  return 90 + 11 * c;
}
inline int CellY(int r) {
  return 59 + 21 * r;
}
}  // namespace at

class EditorPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(plug.Pages(), nullptr);
    gui().Open();
    gui().Tick();
  }
  IGraphicsHeadless& gui() { return *static_cast<IGraphicsHeadless*>(plug.GetGUI()); }
  EditorPages& pages() { return *plug.Pages(); }
  void ShowPage(int page) {
    pages().SwitchPage(page);
    gui().Tick();
  }
  // One idle call from the host and the editor's next tick.
  void Idle() {
    plug.HostIdle();
    gui().Tick();
  }
  int Cell(int slot, int row, int step) { return plug.GetRhythmBank().grid[slot][row][step]; }

  HeadlessFactoryScope factory;
  PagesHost plug;
};

}  // namespace editor_test
