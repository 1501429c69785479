#pragma once

#include "editor/IGraphicsStructs.h"

// The look shared by the editor's labelled controls: dark grey "Arial", centred, fainter while
// the control is off.
namespace imv {

inline constexpr Color kLabelOffColor{152, 30, 30, 30};
inline constexpr Color kLabelOnColor{204, 30, 30, 30};

inline TextStyle LabelStyle(int size, bool on) {
  return TextStyle("Arial", size, on ? kLabelOnColor : kLabelOffColor);
}

// Labels sit over the button art, 3 pixels further left and lowered by topOffset.
inline Rect LabelRect(const Rect& r, int topOffset) {
  return Rect(r.L - 3, r.T + topOffset, r.R, r.B);
}

inline bool Modified(const MouseModifiers& mod) {
  return mod.R || mod.S || mod.C;
}
inline bool ModifiedOrAlt(const MouseModifiers& mod) {
  return mod.R || mod.S || mod.C || mod.A;
}

}  // namespace imv
