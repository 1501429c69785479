#include "editor/IMVStepBeatControl.h"

#include "editor/EditorPages.h"
#include "editor/IGraphics.h"
#include "editor/IMVLabel.h"
#include "editor/PopupMenu.h"
#include "engine/Rhythmoria.h"

namespace {

constexpr int kHoverBand = 16;
constexpr int kMenuOffset = 8;
constexpr int kGridMarginX = 4;
constexpr int kGridMarginY = 9;
// The platform's code of a message box with "Yes" and "No".
constexpr int kYesNoBox = 4;

const char* const kRowNames[kNumInstruments] = {
    "Base",  "Snare 1", "Snare 2",  "Short Bongo", "Long Bongo", "Conga", "Cowbell", "Claves",
    "Hihat", "Rimshot", "Cymbal 1", "Cymbal 2",    "Tambourine", "Guiro", "Quijada"};

// Menu positions of the row menu and the edits they make.
constexpr int kClearRowPosition = 2;
constexpr int kClearColumnPosition = 3;
constexpr int kClearAllPosition = 4;
constexpr int kFillPosition = 6;
constexpr int kClearPosition = 7;
const char* const kFractions[] = {"1/2", "1/4", "1/8", "1/16", "1/32"};
constexpr RhythmEdit kFills[] = {RhythmEdit::FillHalves, RhythmEdit::FillQuarters,
                                 RhythmEdit::FillEighths, RhythmEdit::FillSixteenths,
                                 RhythmEdit::FillThirtySeconds};
constexpr RhythmEdit kClears[] = {RhythmEdit::ClearHalves, RhythmEdit::ClearQuarters,
                                  RhythmEdit::ClearEighths, RhythmEdit::ClearSixteenths,
                                  RhythmEdit::ClearThirtySeconds};

}  // namespace

const char* IMVStepBeatControl::RowName(int row) {
  return row >= 0 && row < kNumInstruments ? kRowNames[row] : "";
}

IMVStepBeatControl::IMVStepBeatControl(Rhythmoria* plug, EditorPages* pages, const Rect& rect,
                                       int row, int column)
    : IControl(plug, rect), mRhythmoria(plug), mPages(pages), mRow(row), mColumn(column) {
  if (column >= 0) {
    mTargetRECT = Rect(rect.L - kGridMarginX, rect.T - kGridMarginY, rect.R + kGridMarginX,
                       rect.B + kGridMarginY);
  }
}

void IMVStepBeatControl::MouseOver(int /*x*/, int y, const MouseModifiers& /*mod*/) {
  mHover = y < mRECT.T + kHoverBand;
  MarkDirty(false);
}

void IMVStepBeatControl::MouseOut() {
  mHover = false;
  MarkDirty(false);
}

bool IMVStepBeatControl::Draw(IGraphics* graphics) {
  if (mHover) return graphics->FillRect(Color(64, 255, 128, 0), mRECT, &mBlend);
  if (mValue >= 0.5) return graphics->FillRect(Color(128, 192, 192, 64), mRECT, &mBlend);
  return true;
}

void IMVStepBeatControl::MouseDown(int x, int y, const MouseModifiers& mod) {
  if (mColumn < 0 || imv::ModifiedOrAlt(mod)) {
    RowMenu(x, y);
    return;
  }
  mValue += 1.0;
  if (mValue > 1.001) mValue = 0.0;
  MarkDirty(true);
  mRhythmoria->SetRhythmCell(mRow, mColumn, mValue >= 0.5);
  // The selector names the slot "USER n" from its first edit on.
  mPages->RefreshNow();
}

void IMVStepBeatControl::RowMenu(int x, int y) {
  IGraphics* gui = mRhythmoria->GetGUI();
  if (!gui) return;
  PopupMenu menu;
  menu.AddItem(RowName(mRow), PopupMenuItem::kGrayed);
  menu.AddSeparator();
  menu.AddItem("Clear row");
  menu.AddItem("Clear column", mColumn < 0 ? PopupMenuItem::kGrayed : PopupMenuItem::kNoFlags);
  menu.AddItem("Clear all events");
  menu.AddSeparator();
  auto fill = std::make_unique<PopupMenu>();
  auto clear = std::make_unique<PopupMenu>();
  for (const char* fraction : kFractions) {
    fill->AddItem(std::string("Fill ") + fraction);
    clear->AddItem(std::string("Clear ") + fraction);
  }
  menu.AddSubmenu("Fill...", std::move(fill));
  menu.AddSubmenu("Clear...", std::move(clear));
  const Rect at(x + kMenuOffset, y + kMenuOffset, x + kMenuOffset, y + kMenuOffset);
  const PopupMenu* chosen = gui->ShowPopupMenu(&menu, at);
  if (!chosen || chosen->GetChosenItemIdx() < 0) return;
  const int item = chosen->GetChosenItemIdx();
  RhythmEdit op;
  if (chosen == menu.GetItem(kFillPosition)->GetSubmenu()) {
    op = kFills[item];
  } else if (chosen == menu.GetItem(kClearPosition)->GetSubmenu()) {
    op = kClears[item];
  } else if (item == kClearRowPosition) {
    op = RhythmEdit::ClearRow;
  } else if (item == kClearColumnPosition && mColumn >= 0) {
    op = RhythmEdit::ClearColumn;
  } else if (item == kClearAllPosition) {
    if (gui->ShowMessageBox("Do you really want to clear all events?", "Clear All Events",
                            kYesNoBox) != IGraphics::kMessageBoxYes) {
      return;
    }
    op = RhythmEdit::ClearAll;
  } else {
    return;
  }
  mRhythmoria->EditRhythm(mRow, mColumn, op);
  mPages->RefreshNow();
}
