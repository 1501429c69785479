#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/IGraphics.h"

// A window layer without a screen, for tests and tools; never what a host gets. It "presents"
// into a bitmap of its own, answers menus, text boxes, message boxes and choosers from answers a
// test queues up (recording what was asked), and lets a test deliver mouse and key events and run
// timer ticks. Everything runs on the calling thread.
class IGraphicsHeadless : public IGraphics {
 public:
  static constexpr int kNoAnswer = -1;

  explicit IGraphicsHeadless(IPlugBase* plug, int width = kDefaultWidth,
                             int height = kDefaultHeight, int fps = kDefaultFPS);
  ~IGraphicsHeadless() override;

  // --- What a test does, the way a window would deliver it ---
  // Opens the window and tells the plug-in, as the host binding does on opening the editor.
  void Open();
  void Close();
  // One timer tick: CollectDirty and, when something is dirty, the paint of that area.
  // True when something was painted.
  bool Tick();
  void Ticks(int n);
  void MouseDown(int x, int y, MouseModifiers mod = {});
  // Moves the pointer: a drag while a button is held (and the mouse captured), else a hover.
  void MouseMove(int x, int y, MouseModifiers mod = {});
  void MouseUp(int x, int y, MouseModifiers mod = {});
  void DoubleClick(int x, int y, MouseModifiers mod = {});
  // A wheel turn in the platform's units (120 per notch); partial notches deliver 0.
  void Wheel(int x, int y, int delta, MouseModifiers mod = {});
  void Leave();
  bool Key(int x, int y, int key);
  // A click: down and up at one point.
  void Click(int x, int y, MouseModifiers mod = {});

  // --- Scripted answers, taken in order; with none queued the user "cancels" ---
  // A popup answer is the command of the chosen item, numbered over the menu and its sub-menus
  // as PopupMenu::FindCommand does; kNoAnswer dismisses the menu.
  std::deque<int> popupAnswers;
  // nullopt cancels the text box.
  std::deque<std::optional<std::string>> textAnswers;
  std::deque<int> messageBoxAnswers;
  // The chosen full path; empty cancels.
  std::deque<std::string> fileAnswers;
  std::deque<std::optional<Color>> colorAnswers;
  bool webPageOpens = true;
  std::string clipboard;
  bool clipboardHasText = false;
  std::string hostExeFolder = "/headless/host/";
  std::string pluginFolder = "/headless/plugin/";
  std::string desktopFolder = "/headless/desktop/";
  std::string appDataFolder = "/headless/appdata/";
  std::string allUsersAppDataFolder = "/headless/common-appdata/";

  // --- What was asked ---
  struct MenuShown {
    std::vector<std::string> labels;  // the top menu's items as shown, numbering included
    Rect rect;
  };
  struct TextEntryShown {
    IControl* control = nullptr;
    std::string text;
    Rect rect;
    int maxLength = 0;
    bool withParam = false;
  };
  struct MessageBoxShown {
    std::string text;
    std::string caption;
    int type = 0;
  };
  struct FileAsked {
    std::string fileName;
    int action = 0;
    std::string folder;
    std::string extensions;
  };
  std::vector<MenuShown> menusShown;
  std::vector<TextEntryShown> textEntriesShown;
  std::vector<MessageBoxShown> messageBoxesShown;
  std::vector<FileAsked> filesAsked;
  std::vector<std::string> colorTitles;
  std::vector<std::string> webPagesOpened;
  int presentCount = 0;
  Rect lastPresented;
  bool pointerHidden = false;

  // The picture a window would show.
  const LICE_MemBitmap& Screen() const { return mScreen; }
  // Everything drawn afresh and presented, as on a first paint.
  void RedrawAll();

  // --- The window layer's operations ---
  bool PresentRect(const Rect& rect) override;
  void Resize(int width, int height) override;
  bool HasWindow() const override { return mOpen; }
  const char* GetDrawingApiName() const override { return "Headless"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  PopupMenu* ShowPopupMenu(PopupMenu* menu, const Rect& rect) override;
  void ShowTextEntry(IControl* control, const TextStyle& style, const Rect& rect, const char* text,
                     IParameter* param) override;
  void GetHostExeFolder(std::string* path) override { *path = hostExeFolder; }
  void GetPluginFolder(std::string* path) override { *path = pluginFolder; }
  void GetDesktopFolder(std::string* path) override { *path = desktopFolder; }
  void GetAppDataFolder(std::string* path, bool allUsers) override {
    *path = allUsers ? allUsersAppDataFolder : appDataFolder;
  }
  void AskForFile(std::string* fileName, int action, std::string* folder,
                  const char* extensions) override;
  bool AskForColor(Color* color, const char* title) override;
  bool OpenWebPage(const char* url, const char* caption, const char* confirmText,
                   const char* errorText) override;
  void InvalidateRect(const Rect& rect) override { mInvalid = mInvalid.Union(rect); }
  void* OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  void* GetWindowHandle() const override;
  bool ReadClipboardText(std::string* text) override;
  void HidePointer() override { pointerHidden = true; }
  void ShowPointer() override { pointerHidden = false; }

 private:
  bool mOpen = false;
  bool mButtonHeld = false;
  Rect mInvalid;
  LICE_MemBitmap mScreen;
};

// The headless window layer as a graphics factory, for SetGraphicsFactory: instances built while
// it is installed lay out their editor in it.
std::unique_ptr<IGraphics> MakeHeadlessGraphics(IPlugBase* plug, int width, int height);
