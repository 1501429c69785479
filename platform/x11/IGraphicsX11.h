#pragma once

// The editor's window layer for X11 hosts, on xcb rather than Xlib: an xcb connection is
// thread-safe without XInitThreads, and its errors come back on our own connection instead of
// through Xlib's process-wide error handler, which belongs to the host that loaded us. We open a
// connection of our own when the editor opens (a scanner without a display never connects) and put
// a child window into the window the host gives to effEditOpen.
//
// Threads. Hosts differ: some call effEditIdle thirty times a second, some rarely. So a thread of
// ours reads the connection and runs the redraw timer, and the host's idle calls run the timer
// too. The editor is never touched by two threads at once: every piece of editor work holds the
// plug-in's mutex and then the editor lock, always in that order. The host's calls already hold
// the plug-in's mutex; our thread only ever try-locks it, so it never blocks a host call and a
// host call (effEditClose) never waits for a thread of ours that waits for the host. Modal loops
// (menus, message boxes, choosers) release both locks while they wait for the user, so neither the
// audio nor the host stalls while a menu is open.

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "editor/IGraphics.h"
#include "platform/x11/X11SharedImage.h"

class X11Modal;

class IGraphicsX11 : public IGraphics {
 public:
  // Message box types and answers, with the values hosts' plug-ins use everywhere.
  enum MessageBoxType : int { kMbOk = 0, kMbOkCancel = 1, kMbYesNoCancel = 3, kMbYesNo = 4 };
  enum MessageBoxAnswer : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };
  // Presses closer than this in time and distance make a double-click.
  static constexpr int kDoubleClickMs = 500;
  static constexpr int kDoubleClickPixels = 4;

  IGraphicsX11(IPlugBase* plug, int width, int height, int fps = kDefaultFPS);
  ~IGraphicsX11() override;

  bool PresentRect(const Rect& rect) override;
  void CancelTextEntry() override;
  void Resize(int width, int height) override;
  bool HasWindow() const override { return mWindow != 0; }
  const char* GetDrawingApiName() const override { return "X11 xcb"; }
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
  // The host's idle call: a redraw tick when one is due and the editor is free.
  void HostIdleTick() override;
  void CloseEditorWindow() override;
  void* GetWindowHandle() const override;
  bool ReadClipboardText(std::string* text) override;
  void HidePointer() override;
  void ShowPointer() override;

  // For tests: whether the editor's pixels go through memory shared with the server.
  bool UsesSharedMemory() const { return mShared.IsOpen(); }
  // For tests: the text box's state.
  bool TextEntryOpen() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mEntry.control != nullptr;
  }

  // Used by the modal windows (X11Modal).
  xcb_connection_t* Connection() const { return mConn; }
  xcb_screen_t* Screen() const { return mScreen; }
  xcb_window_t EditorWindow() const { return mWindow; }
  xcb_atom_t Atom(const char* name);
  // The host's top-level window that holds the editor: the owner of our dialogs.
  xcb_window_t HostTopLevel();
  // The keysym of a key event: column 1 with shift held, else column 0.
  std::uint32_t KeySym(xcb_keycode_t code, bool shifted) const;
  // Copies a bitmap region to a window, in requests the server accepts.
  void PutImage(xcb_window_t window, const LICE_IBitmap& bitmap, const Rect& rect, int destX,
                int destY);
  // True once a close or the end of the object asks modal loops to give up.
  bool ModalShouldEnd() const;
  // Runs wait() (a modal loop) with the locks our thread holds released, so the host and the
  // audio go on while the user answers; takes them back, in order, before returning.
  void RunModal(const std::function<void()>& wait);

 private:
  struct TextEntry {
    enum State : int { kIdle = 0, kActive = 1, kRefreshed = 2, kCancel = 3, kCommit = 4 };
    IControl* control = nullptr;
    IParameter* param = nullptr;
    TextStyle style;
    Rect rect;
    std::string text;
    int maxLength = 7;
    bool allSelected = true;
    State state = kIdle;
  };

  bool Connect();
  void StartPump();
  void StopPump();
  void PumpLoop();
  // Both locks taken; reads every queued event and runs the timer when due. Our thread only.
  void Pump();
  void HandleEvent(xcb_generic_event_t* event);
  void HandleButton(const xcb_button_press_event_t* e, bool press);
  void HandleKey(const xcb_key_press_event_t* e);
  void TextEntryKey(std::uint32_t keysym, bool shifted);
  // One redraw tick: the text box's pending state, then the dirty controls.
  void Tick();
  void DrawTextEntry();
  void FinishTextEntry();
  void LoadKeyboardMapping();
  std::size_t EditorBytes() const {
    return static_cast<std::size_t>(Width()) * static_cast<std::size_t>(Height()) * 4;
  }

  xcb_connection_t* mConn = nullptr;
  xcb_screen_t* mScreen = nullptr;
  // Read by any thread (HasWindow); written under the editor lock.
  std::atomic<xcb_window_t> mWindow{0};
  xcb_window_t mParent = 0;
  xcb_gcontext_t mGc = 0;
  xcb_cursor_t mBlankCursor = 0;
  std::uint32_t mMaxRequestBytes = 0;
  X11SharedImage mShared;
  bool mSharedTried = false;
  std::vector<std::uint32_t> mKeysyms;
  int mKeysymsPerCode = 0;
  int mMinKeycode = 0;
  std::vector<std::pair<std::string, xcb_atom_t>> mAtoms;

  mutable std::recursive_mutex mLock;  // the editor lock; always taken after the plug-in's mutex
  std::thread mPump;
  std::atomic<std::thread::id> mPumpId{};
  int mWake[2] = {-1, -1};
  std::atomic<bool> mStop{false};
  std::atomic<bool> mClosing{false};
  std::atomic<int> mModalDepth{0};
  bool mPumpHoldsLocks = false;
  std::chrono::steady_clock::time_point mNextTick;

  Rect mInvalid;
  TextEntry mEntry;
  LICE_MemBitmap mEntryBitmap;
  unsigned mButtonsHeld = 0;
  std::uint32_t mLastPressTime = 0;
  int mLastPressX = -1000;
  int mLastPressY = -1000;
  bool mLastPressWasDouble = false;
  bool mPointerHidden = false;
  int mHiddenX = 0;
  int mHiddenY = 0;
  std::deque<xcb_generic_event_t*> mDeferred;
};
