#pragma once

#include <memory>
#include <vector>

#include "editor/IControl.h"

class IPlugBase;

// The editor: an ordered list of controls over a fixed-size surface. Index 0 is the background;
// later controls lie on top. Values reach controls as stored values and dirty flags; drawing
// happens on the editor's own timer, never on the audio thread.
class IGraphics {
 public:
  static constexpr int kDefaultWidth = 800;
  static constexpr int kDefaultHeight = 409;

  IGraphics(IPlugBase* plug, int width = kDefaultWidth, int height = kDefaultHeight)
      : mPlug(plug), mWidth(width), mHeight(height) {}
  virtual ~IGraphics() = default;

  // Creates the drawing surface and the memory bitmap for the current size.
  virtual void PrepDraw() {}

  int AttachControl(std::unique_ptr<IControl> control);
  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControl(int i) const { return mControls[i].get(); }

  // Shows a parameter change that came from outside the editor in every control bound to it.
  void SetControlsFromParameter(int paramIdx, double value, bool normalized);

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  IPlugBase* Plug() const { return mPlug; }

 protected:
  IPlugBase* mPlug;
  int mWidth;
  int mHeight;
  std::vector<std::unique_ptr<IControl>> mControls;
};
