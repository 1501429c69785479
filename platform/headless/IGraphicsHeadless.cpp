#include "platform/headless/IGraphicsHeadless.h"

#include <algorithm>

#include "framework/IPlugBase.h"

namespace {
constexpr int kWheelDeltaPerNotch = 120;
}

IGraphicsHeadless::IGraphicsHeadless(IPlugBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps) {}

IGraphicsHeadless::~IGraphicsHeadless() = default;

void IGraphicsHeadless::Open() {
  OpenEditorWindow(nullptr);
  if (mPlug) mPlug->EditorOpened();
}

void IGraphicsHeadless::Close() {
  if (!mOpen) return;
  if (mPlug) mPlug->EditorClosed();
  CloseEditorWindow();
}

void* IGraphicsHeadless::OpenEditorWindow(void* /*parent*/) {
  if (mOpen) CloseEditorWindow();
  mOpen = true;
  ApplyParameterValues();
  SetAllControlsDirty();
  return this;
}

void IGraphicsHeadless::CloseEditorWindow() {
  mOpen = false;
  mButtonHeld = false;
}

void* IGraphicsHeadless::GetWindowHandle() const {
  return mOpen ? const_cast<IGraphicsHeadless*>(this) : nullptr;
}

bool IGraphicsHeadless::Tick() {
  Rect dirty;
  const bool any = CollectDirty(&dirty);
  // Areas asked for by InvalidateRect (a closed menu, say) are painted with the dirty ones.
  const Rect area = dirty.Union(mInvalid);
  mInvalid = Rect();
  if (!any && area.Empty()) return false;
  DrawDirty(area);
  return true;
}

void IGraphicsHeadless::Ticks(int n) {
  for (int i = 0; i < n; ++i) Tick();
}

void IGraphicsHeadless::RedrawAll() {
  ApplyParameterValues();
  SetAllControlsDirty();
  DrawDirty(Rect(0, 0, Width(), Height()));
}

void IGraphicsHeadless::MouseDown(int x, int y, MouseModifiers mod) {
  mButtonHeld = true;
  HandleMouseDown(x, y, mod);
}

void IGraphicsHeadless::MouseMove(int x, int y, MouseModifiers mod) {
  if (mButtonHeld) {
    HandleMouseDrag(x, y, mod);
  } else {
    HandleMouseOver(x, y, mod);
  }
}

void IGraphicsHeadless::MouseUp(int x, int y, MouseModifiers mod) {
  mButtonHeld = false;
  HandleMouseUp(x, y, mod);
}

void IGraphicsHeadless::DoubleClick(int x, int y, MouseModifiers mod) {
  mButtonHeld = HandleDoubleClick(x, y, mod);
}

void IGraphicsHeadless::Wheel(int x, int y, int delta, MouseModifiers mod) {
  HandleMouseWheel(x, y, mod, delta / kWheelDeltaPerNotch);
}

void IGraphicsHeadless::Leave() {
  HandleMouseOut();
}

bool IGraphicsHeadless::Key(int x, int y, int key) {
  return HandleKeyDown(x, y, key);
}

void IGraphicsHeadless::Click(int x, int y, MouseModifiers mod) {
  mod.L = true;
  MouseDown(x, y, mod);
  MouseUp(x, y, mod);
}

bool IGraphicsHeadless::PresentRect(const Rect& rect) {
  if (mScreen.getWidth() != Width() || mScreen.getHeight() != Height()) {
    mScreen.resize(Width(), Height());
  }
  LICE_Blit(&mScreen, GetDrawBitmap(), rect.L, rect.T, rect.L, rect.T, rect.W(), rect.H(), 1.0f,
            LICE_BLIT_MODE_COPY);
  ++presentCount;
  lastPresented = rect;
  return true;
}

void IGraphicsHeadless::Resize(int width, int height) {
  IGraphics::Resize(width, height);
  mScreen.resize(width, height);
}

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type) {
  messageBoxesShown.push_back({text ? text : "", caption ? caption : "", type});
  if (messageBoxAnswers.empty()) return 0;
  const int answer = messageBoxAnswers.front();
  messageBoxAnswers.pop_front();
  return answer;
}

PopupMenu* IGraphicsHeadless::ShowPopupMenu(PopupMenu* menu, const Rect& rect) {
  ReleaseMouseCapture();
  if (!menu) return nullptr;
  menu->ClearChoice();
  MenuShown shown;
  shown.rect = rect;
  for (int i = 0; i < menu->NItems(); ++i) shown.labels.push_back(menu->ItemLabel(i));
  menusShown.push_back(std::move(shown));
  InvalidateRect(Rect(0, 0, Width(), Height()));

  if (popupAnswers.empty()) return nullptr;
  const int command = popupAnswers.front();
  popupAnswers.pop_front();
  int item = -1;
  PopupMenu* chosen = command >= 0 ? menu->FindCommand(command, &item) : nullptr;
  if (!chosen) return nullptr;
  // A window offers no command for separators, sub-menu entries or disabled items.
  const PopupMenuItem* entry = chosen->GetItem(item);
  if (entry->IsSeparator() || entry->GetSubmenu() || !entry->IsEnabled()) return nullptr;
  chosen->SetChosenItemIdx(item);
  return chosen;
}

void IGraphicsHeadless::ShowTextEntry(IControl* control, const TextStyle& /*style*/,
                                      const Rect& rect, const char* text, IParameter* param) {
  if (!control) return;
  textEntriesShown.push_back(
      {control, text ? text : "", rect, control->GetTextEntryLength(), param != nullptr});
  if (textAnswers.empty()) return;
  std::optional<std::string> answer = std::move(textAnswers.front());
  textAnswers.pop_front();
  if (!answer) return;
  // The box takes no more characters than the control allows.
  const std::size_t limit = static_cast<std::size_t>(std::max(control->GetTextEntryLength(), 0));
  if (answer->size() > limit) answer->resize(limit);
  CommitTextEntry(control, param, answer->c_str());
}

void IGraphicsHeadless::AskForFile(std::string* fileName, int action, std::string* folder,
                                   const char* extensions) {
  if (!fileName) return;
  filesAsked.push_back({*fileName, action, folder ? *folder : "", extensions ? extensions : ""});
  std::string chosen;
  if (!fileAnswers.empty()) {
    chosen = std::move(fileAnswers.front());
    fileAnswers.pop_front();
  }
  // Without a window nothing can be chosen.
  if (!mOpen) chosen.clear();
  *fileName = chosen;
  if (!chosen.empty() && folder) {
    const std::size_t slash = chosen.find_last_of("/\\");
    *folder = slash == std::string::npos ? std::string() : chosen.substr(0, slash + 1);
  }
}

bool IGraphicsHeadless::AskForColor(Color* color, const char* title) {
  colorTitles.push_back(title ? title : "");
  std::optional<Color> answer;
  if (!colorAnswers.empty()) {
    answer = colorAnswers.front();
    colorAnswers.pop_front();
  }
  if (!mOpen || !color || !answer) return false;
  color->R = answer->R;
  color->G = answer->G;
  color->B = answer->B;
  return true;
}

bool IGraphicsHeadless::OpenWebPage(const char* url, const char* caption, const char* confirmText,
                                    const char* errorText) {
  if (confirmText && ShowMessageBox(confirmText, caption, 0) != kMessageBoxYes) return false;
  webPagesOpened.push_back(url ? url : "");
  if (webPageOpens) return true;
  if (errorText) ShowMessageBox(errorText, caption, 0);
  return false;
}

bool IGraphicsHeadless::ReadClipboardText(std::string* text) {
  if (!text) return false;
  *text = clipboardHasText ? clipboard : std::string();
  return clipboardHasText && !clipboard.empty();
}

std::unique_ptr<IGraphics> MakeHeadlessGraphics(IPlugBase* plug, int width, int height) {
  return std::make_unique<IGraphicsHeadless>(plug, width, height);
}
