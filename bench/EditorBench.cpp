// The editor's costs: a full redraw of the window, a timer tick with nothing and with one trimpot
// to draw, and building a plug-in instance with its editor's bitmaps loaded.
#include <benchmark/benchmark.h>

#include <memory>

#include "editor/BitmapCache.h"
#include "editor/EditorPages.h"
#include "editor/GraphicsFactory.h"
#include "editor/IKnobControl.h"
#include "engine/ParameterIndex.h"
#include "engine/Rhythmoria.h"
#include "platform/headless/IGraphicsHeadless.h"
#include "tools/EditorPreview.h"

namespace {

// The editors measured here draw through the headless window layer.
const bool kHeadlessEditors = (SetGraphicsFactory(MakeHeadlessGraphics), true);

// The main page's stock controls over the backdrop, plus the 15 x 6 sound trimpots of the
// settings page drawn over it: about as many bitmap draws as the busiest page makes.
struct Editor {
  Rhythmoria plug{IPlugInstanceInfo{}};
  IGraphicsHeadless* gui = nullptr;
  IKnobMultiControl* trimpot = nullptr;

  Editor() {
    gui = OpenPreviewEditor(plug, {});
    const BitmapStrip strip = gui->LoadBitmap(115, "trimpot.png", 65);
    for (int r = 0; r < 6; ++r) {
      for (int k = 0; k < 15; ++k) {
        auto knob = std::make_unique<IKnobMultiControl>(&plug, 56 + 50 * k, 20 + 35 * r, -1, strip);
        if (!trimpot) trimpot = knob.get();
        gui->AttachControl(std::move(knob));
      }
    }
    gui->RedrawAll();
    gui->Tick();
  }
};

void BM_FullRedraw(benchmark::State& state) {
  Editor editor;
  for (auto _ : state) editor.gui->RedrawAll();
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond);

void BM_IdleTick(benchmark::State& state) {
  Editor editor;
  for (auto _ : state) benchmark::DoNotOptimize(editor.gui->Tick());
}
BENCHMARK(BM_IdleTick)->Unit(benchmark::kMicrosecond);

void BM_TickWithOneTrimpot(benchmark::State& state) {
  Editor editor;
  double value = 0.0;
  for (auto _ : state) {
    value = value > 0.9 ? 0.0 : value + 0.05;
    editor.trimpot->SetValueFromHost(value);
    benchmark::DoNotOptimize(editor.gui->Tick());
  }
}
BENCHMARK(BM_TickWithOneTrimpot)->Unit(benchmark::kMicrosecond);

// What a host pays per instance while scanning: the plug-in with its editor laid out. Bitmaps are
// sized from their headers; none is decoded.
void BM_ConstructPlugIn(benchmark::State& state) {
  for (auto _ : state) {
    Rhythmoria plug{IPlugInstanceInfo{}};
    benchmark::DoNotOptimize(&plug);
  }
}
BENCHMARK(BM_ConstructPlugIn)->Unit(benchmark::kMillisecond);

void BM_ConstructPlugInWithEditor(benchmark::State& state) {
  for (auto _ : state) {
    Rhythmoria plug{IPlugInstanceInfo{}};
    // The plug-in lays out its three pages, as it does in its constructor with a window layer.
    plug.AdoptEditor(
        MakeHeadlessGraphics(&plug, IGraphics::kDefaultWidth, IGraphics::kDefaultHeight));
    benchmark::DoNotOptimize(&plug);
  }
}
BENCHMARK(BM_ConstructPlugInWithEditor)->Unit(benchmark::kMillisecond);

// The first open of an editor in the process decodes every bitmap it draws; later ones find them.
void BM_FirstEditorOpenAndDraw(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    BitmapCache::Instance().ReleasePixels();
    Rhythmoria plug{IPlugInstanceInfo{}};
    auto* gui = dynamic_cast<IGraphicsHeadless*>(plug.GetGUI());
    state.ResumeTiming();
    // Decodes what the backdrop and the largest strips need.
    for (int id : {101, 102, 103, 113, 115}) {
      gui->GetStripPixels(gui->LoadBitmap(id, "x.png"));
    }
    gui->RedrawAll();
  }
}
BENCHMARK(BM_FirstEditorOpenAndDraw)->Unit(benchmark::kMillisecond);

// The host's idle call with the sequence page shown and the sequencer running: the sampling
// under the plug-in mutex and the editor's part of the next tick (the 64 step cells marked for
// the marker), without the drawing.
void BM_HostIdleSequencePageRunning(benchmark::State& state) {
  Rhythmoria plug{IPlugInstanceInfo{}};
  IGraphicsHeadless* gui = OpenPreviewEditor(plug, {EditorPreviewOptions::kSequence, 0, true});
  plug.SetParamFromEditor(kRhythm1, 1.0);
  plug.ToggleRun(true);
  EditorPages* pages = plug.Pages();
  gui->Tick();
  for (auto _ : state) {
    plug.HostIdle();
    pages->ApplyPending();
  }
}
BENCHMARK(BM_HostIdleSequencePageRunning)->Unit(benchmark::kMicrosecond);

// Switching between the three pages: hiding and showing what exists, and the refresh.
void BM_PageSwitch(benchmark::State& state) {
  Rhythmoria plug{IPlugInstanceInfo{}};
  IGraphicsHeadless* gui = OpenPreviewEditor(plug, {});
  EditorPages* pages = plug.Pages();
  int page = 0;
  for (auto _ : state) {
    page = (page + 1) % EditorPages::kNumPages;
    pages->SwitchPage(page);
  }
  benchmark::DoNotOptimize(gui);
}
BENCHMARK(BM_PageSwitch)->Unit(benchmark::kMicrosecond);

}  // namespace
