#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "platform/headless/IGraphicsHeadless.h"
#include "tests/framework/TestPlug.h"

namespace editor_test {

// The test plug-in records what its editor tells it.
class EditorPlug : public framework_test::TestPlug {
 public:
  void BeginParamGesture(int idx) override { gestures.emplace_back(idx, true); }
  void EndParamGesture(int idx) override { gestures.emplace_back(idx, false); }
  void ReportParamToHost(int idx, double value) override { reported.emplace_back(idx, value); }
  void HostIdle() override { ++hostIdles; }
  void ResizeEditor(int width, int height) override { resized.emplace_back(width, height); }

  std::vector<std::pair<int, bool>> gestures;
  std::vector<std::pair<int, double>> reported;
  std::vector<std::pair<int, int>> resized;
  int hostIdles = 0;
};

// A plain control that fills its rect with one colour and logs its events.
class ProbeControl : public IControl {
 public:
  ProbeControl(IPlugBase* plug, const Rect& rect, int paramIdx = -1,
               Color color = Color(255, 255, 255, 255))
      : IControl(plug, rect, paramIdx), mColor(color) {}

  bool Draw(IGraphics* graphics) override {
    ++draws;
    return graphics->FillRect(mColor, mRECT, &mBlend);
  }
  void MouseDown(int, int, const MouseModifiers&) override { ++downs; }
  void MouseUp(int, int, const MouseModifiers&) override { ++ups; }
  void MouseDrag(int, int, int dX, int dY, const MouseModifiers&) override {
    drags.emplace_back(dX, dY);
  }
  void MouseOver(int, int, const MouseModifiers&) override { ++overs; }
  void MouseOut() override { ++outs; }
  bool KeyDown(int, int, int key) override {
    keys.push_back(key);
    return true;
  }
  void TextEntered(const char* text) override { entered = text; }

  Color mColor;
  int draws = 0, downs = 0, ups = 0, overs = 0, outs = 0;
  std::vector<std::pair<int, int>> drags;
  std::vector<int> keys;
  std::string entered;
};

// A plug-in with a headless editor attached (the plug-in owns it).
class EditorTest : public ::testing::Test {
 protected:
  EditorTest() : gui(new IGraphicsHeadless(&plug)) { plug.AttachEditor(gui); }

  template <typename T, typename... Args>
  T* Attach(Args&&... args) {
    auto control = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = control.get();
    gui->AttachControl(std::move(control));
    return raw;
  }
  ProbeControl* Probe(const Rect& rect, int paramIdx = -1) {
    return Attach<ProbeControl>(&plug, rect, paramIdx);
  }
  // Marks everything drawn, so the next tick shows only what changes after this.
  void Settle() {
    gui->RedrawAll();
    for (int i = 0; i < gui->NControls(); ++i) gui->GetControl(i)->MarkClean();
  }

  EditorPlug plug;
  IGraphicsHeadless* gui;
};

// A strip of one column whose row y holds the colour (255, y, 0, 0): a blitted pixel tells which
// source row it came from.
inline std::unique_ptr<LICE_MemBitmap> RowNumberedBitmap(int width, int height) {
  auto bitmap = std::make_unique<LICE_MemBitmap>(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bitmap->getBits()[y * width + x] = LICE_RGBA(y, x, 0, 255);
  }
  return bitmap;
}

inline BitmapStrip StripOf(const LICE_IBitmap* bitmap, int frames) {
  BitmapStrip strip;
  strip.mBitmap = bitmap;
  strip.W = bitmap->getWidth();
  strip.H = bitmap->getHeight();
  strip.N = frames;
  return strip;
}

}  // namespace editor_test
