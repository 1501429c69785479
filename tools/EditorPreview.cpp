#include "tools/EditorPreview.h"

#include <memory>

#include "editor/IBitmapControl.h"
#include "editor/IFaderControl.h"
#include "editor/IKnobControl.h"
#include "editor/ITextControl.h"
#include "engine/ParameterIndex.h"
#include "engine/Rhythmoria.h"
#include "platform/headless/IGraphicsHeadless.h"

namespace {

// The front panel's places, in window pixels.
constexpr int kSliderTop = 39;
constexpr int kSliderLength = 127;
constexpr int kSliderX[] = {168, 240, 312, 408, 481};
constexpr int kSliderParam[] = {kQuijadaBalance, kGuiroBalance, kTambourineBalance, kVolume,
                                kBalance};
constexpr int kRhythmButtonX = 72;
constexpr int kRhythmButtonStep = 54;
constexpr int kRhythmButtonY = 288;
constexpr int kNumRhythmButtons = 10;

void AttachMainControls(IGraphics& gui, Rhythmoria& plug) {
  const BitmapStrip handleB = gui.LoadBitmap(107, "handle_b.png");
  const BitmapStrip handleY = gui.LoadBitmap(108, "handle_y.png");
  const BitmapStrip tempo = gui.LoadBitmap(113, "tempo.png", 63);
  const BitmapStrip tempoCap = gui.LoadBitmap(114, "tempo_cap.png");
  const BitmapStrip toggle = gui.LoadBitmap(110, "switch.png", 2);
  const BitmapStrip rhythm = gui.LoadBitmap(111, "rhythm.png", 2);
  const BitmapStrip start = gui.LoadBitmap(112, "start.png", 2);

  for (int i = 0; i < 5; ++i) {
    gui.AttachControl(std::make_unique<IFaderControl>(&plug, kSliderX[i], kSliderTop, kSliderLength,
                                                      kSliderParam[i], i < 3 ? handleB : handleY));
  }
  gui.AttachControl(std::make_unique<IKnobMultiControl>(&plug, 584, 60, kTempo, tempo));
  gui.AttachControl(std::make_unique<IBitmapControl>(&plug, 584, 60, -1, tempoCap));
  gui.AttachControl(std::make_unique<ISwitchControl>(&plug, 728, 60, kPower, toggle));
  for (int i = 0; i < kNumRhythmButtons; ++i) {
    gui.AttachControl(std::make_unique<ISwitchControl>(
        &plug, kRhythmButtonX + kRhythmButtonStep * i, kRhythmButtonY, kRhythm1 + i, rhythm));
  }
  gui.AttachControl(std::make_unique<ISwitchControl>(&plug, 728, 188, kRhythmRow, toggle));
  gui.AttachControl(std::make_unique<IContactControl>(&plug, 660, 288, -1, start));
  gui.AttachControl(std::make_unique<ITextControl>(
      &plug, Rect(512, 18, 768, 30),
      TextStyle("Arial", 12, Color(192, 30, 30, 30), TextStyle::kNormal, TextStyle::kAlignFar),
      "v.1.1.6.N"));
}

}  // namespace

bool ParsePreviewPage(const std::string& text, int* page) {
  static const char* const kNames[] = {"main", "settings", "sequence"};
  for (int i = 0; i < 3; ++i) {
    if (text == kNames[i]) {
      *page = i;
      return true;
    }
  }
  return false;
}

void LayoutPreviewEditor(IGraphics& gui, Rhythmoria& plug, const EditorPreviewOptions& options) {
  gui.Resize(IGraphics::kDefaultWidth, IGraphics::kDefaultHeight);
  gui.SetHandleMouseOver(true);
  gui.AttachBackground(101, "back.png");
  switch (options.page) {
    case EditorPreviewOptions::kSettings:
      gui.AttachControl(
          std::make_unique<IBitmapControl>(&plug, 0, 0, -1, gui.LoadBitmap(102, "settings.png")));
      break;
    case EditorPreviewOptions::kSequence:
      gui.AttachControl(
          std::make_unique<IBitmapControl>(&plug, 0, 0, -1, gui.LoadBitmap(103, "sequence.png")));
      break;
    default:
      if (options.controls) AttachMainControls(gui, plug);
      break;
  }
}

IGraphicsHeadless* OpenPreviewEditor(Rhythmoria& plug, const EditorPreviewOptions& options) {
  if (options.program >= 0) plug.RestoreProgram(options.program);
  auto gui = std::make_unique<IGraphicsHeadless>(&plug);
  LayoutPreviewEditor(*gui, plug, options);
  IGraphicsHeadless* editor = gui.release();
  // The plug-in owns its editor from here on.
  plug.AttachEditor(editor);
  editor->Open();
  return editor;
}
