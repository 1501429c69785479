#include "editor/ITextControl.h"

#include "editor/IGraphics.h"

bool ITextControl::Draw(IGraphics* graphics) {
  if (mStr.empty()) return true;
  return graphics->DrawText(mText, mStr.c_str(), mRECT);
}

void ITextControl::SetTextFromPlug(std::string text) {
  if (text == mStr) return;
  mStr = std::move(text);
  MarkDirty(false);
}
