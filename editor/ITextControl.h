#pragma once

#include <string>

#include "editor/IControl.h"

// A line of text in the control's text style.
class ITextControl : public IControl {
 public:
  ITextControl(IPlugBase* plug, const Rect& rect, const TextStyle& style, std::string text = {})
      : IControl(plug, rect), mStr(std::move(text)) {
    mText = style;
  }

  bool Draw(IGraphics* graphics) override;
  // Redrawn on the next tick when the text changes.
  void SetTextFromPlug(std::string text);
  const std::string& GetText() const { return mStr; }

 protected:
  std::string mStr;
};
