#pragma once

#include <map>
#include <string>

#include "editor/IGraphics.h"

// The editor's window on Windows: a child window in the host's editor window, turning window
// messages into IGraphics events, driving the redraw timer, copying the off-screen bitmap to the
// screen and offering the native dialogs, menus and the text box the controls ask for.
//
// Windows types stay out of this header (windows.h would rename DrawText for every includer); the
// handles are kept as void* and the message handlers live in the source file.
//
// Threads: everything here runs on the host's user-interface thread.
class IGraphicsWin : public IGraphics {
 public:
  // Where the text box is in its life: opened and typed into, then committed or cancelled by the
  // next timer tick. Refreshed marks a redraw made around an open box.
  enum TextEntryState : int {
    kEntryIdle = 0,
    kEntryActive = 1,
    kEntryRefreshed = 2,
    kEntryCancel = 3,
    kEntryCommit = 4
  };
  static constexpr int kTimerId = 2;
  static constexpr int kTextEntryControlId = 99;
  // Marks the text box's window so that it can be told from any other edit control.
  static constexpr unsigned kTextEntryMarker = 0xDEADF00Bu;

  IGraphicsWin(IPlugBase* plug, int width = kDefaultWidth, int height = kDefaultHeight,
               int fps = kDefaultFPS);
  ~IGraphicsWin() override;

  bool PresentRect(const Rect& rect) override;
  void CancelTextEntry() override;
  void Resize(int width, int height) override;
  bool HasWindow() const override { return mWnd != nullptr; }
  const char* GetDrawingApiName() const override { return "Windows GDI"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  PopupMenu* ShowPopupMenu(PopupMenu* menu, const Rect& rect) override;
  void ShowTextEntry(IControl* control, const TextStyle& style, const Rect& rect, const char* text,
                     IParameter* param) override;
  void GetHostExeFolder(std::string* path) override;
  void GetPluginFolder(std::string* path) override;
  void GetDesktopFolder(std::string* path) override;
  void GetAppDataFolder(std::string* path, bool allUsers) override;
  void AskForFile(std::string* fileName, int action, std::string* folder,
                  const char* extensions) override;
  bool AskForColor(Color* color, const char* title) override;
  bool OpenWebPage(const char* url, const char* caption, const char* confirmText,
                   const char* errorText) override;
  void InvalidateRect(const Rect& rect) override;
  void* OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  void* GetWindowHandle() const override { return mWnd; }
  bool ReadClipboardText(std::string* text) override;
  void HidePointer() override;
  void ShowPointer() override;
  std::unique_ptr<LICE_MemBitmap> LoadBitmapResource(int id, const char* fileName) override;

  // Tooltips: off unless asked for before the window opens. A control's text is set by index.
  void EnableTooltips(bool enable) { mTooltipsEnabled = enable; }
  bool TooltipsEnabled() const { return mTooltipsEnabled; }
  void SetTooltip(int controlIdx, std::string text);

  int GetTextEntryState() const { return mTextEntryState; }
  bool HasTextEntry() const { return mTextEntryWnd != nullptr; }
  // The host's top-level window (owner of message boxes), found by walking up from its parent.
  void* FindHostTopLevel();

  // --- The rules of the translation, kept apart so they can be checked without a window ---
  // Open editor windows of this module in the process; the window class exists while it is > 0.
  static int WindowCount();
  // Milliseconds between redraw ticks at fps frames per second.
  static int TimerInterval(int fps);
  // The key code for a virtual key, or -1 when the editor takes no such key.
  static int TranslateKey(int virtualKey);
  // Whole notches of a wheel delta (120 per notch), truncated toward zero.
  static int WheelNotches(int delta);
  // Whether the text box takes a typed character when it edits a parameter of that type.
  static bool AcceptsCharacter(int paramType, unsigned character);
  // The file dialog's filter from "fxp fxb": "*.fxp;*.fxb", description and pattern alike.
  static std::string FilePattern(const char* extensions);

 private:
  friend struct IGraphicsWinProc;

  void DestroyTextEntry();
  void ApplyTextEntry();
  void OnTimer();
  void HideTooltip();
  void ShowTooltip();
  MouseModifiers ReadModifiers(unsigned long long wParam) const;

  void* mHInstance = nullptr;    // HINSTANCE of the module holding this code
  void* mWnd = nullptr;          // HWND of the editor
  void* mParentWnd = nullptr;    // HWND the host gave
  void* mTopLevelWnd = nullptr;  // HWND of the host's top-level ancestor
  std::string mTopLevelClass;    // its window class name
  void* mPaintDC = nullptr;      // HDC while a paint is in progress

  void* mTextEntryWnd = nullptr;   // HWND of the text box
  void* mTextEntryFont = nullptr;  // HFONT it uses
  long long mTextEntryProc = 0;    // its native handler
  IControl* mTextEntryControl = nullptr;
  IParameter* mTextEntryParam = nullptr;
  int mTextEntryState = kEntryIdle;

  bool mTooltipsEnabled = false;
  void* mTooltipWnd = nullptr;
  bool mTooltipShown = false;
  int mTooltipIdx = -1;
  std::map<int, std::string> mTooltips;

  unsigned long mCustomColors[16] = {};
  bool mCustomColorsMade = false;

  bool mPointerHidden = false;
  long mHiddenPointerX = 0;
  long mHiddenPointerY = 0;
};
