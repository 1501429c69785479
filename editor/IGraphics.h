#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "drawing/LICE.h"
#include "editor/IControl.h"
#include "editor/IGraphicsStructs.h"
#include "editor/PopupMenu.h"

class IParameter;
class IPlugBase;

// The editor: an ordered list of controls over a fixed-size surface. Index 0 is the background;
// later controls lie on top. It routes mouse and key events to controls, tracks what needs
// repainting and draws it into an off-screen bitmap that a window layer copies to the screen.
//
// Window layers (Windows, headless, later X11) derive from this class and implement the window
// operations below; nothing here includes a platform header.
//
// Threads: everything runs on the editor's (the host's user-interface) thread, except
// SetControlsFromParameter, which any thread may call: it only stores the value for the next
// timer tick, so the audio thread never touches a control and the editor never reads a value
// while it is being written.
class IGraphics {
 public:
  static constexpr int kDefaultWidth = 800;
  static constexpr int kDefaultHeight = 409;
  static constexpr int kDefaultFPS = 25;
  // Timer ticks without anything dirty after which the plug-in's HostIdle runs.
  static constexpr int kIdleTicksBeforeHostIdle = 20;
  // Answer of ShowMessageBox for "yes".
  static constexpr int kMessageBoxYes = 6;
  // Key codes of HandleKeyDown.
  enum Key : int {
    kKeySpace = 0,
    kKeyUp = 1,
    kKeyDown = 2,
    kKeyLeft = 3,
    kKeyRight = 4,
    kKeyDigit0 = 5,
    kKeyLetterA = 15
  };
  // AskForFile's actions.
  enum FileAction : int { kFileOpen = 0, kFileSave = 1 };

  IGraphics(IPlugBase* plug, int width = kDefaultWidth, int height = kDefaultHeight,
            int fps = kDefaultFPS);
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // Virtual operations, in their fixed order; the window layer implements the abstract ones.
  // Copies that part of the off-screen bitmap to the window.
  virtual bool PresentRect(const Rect& rect) = 0;
  // Off-screen bitmaps are made at the first draw, so an instance nobody looks at costs none.
  virtual void PrepDraw() {}
  virtual void CancelTextEntry() {}
  virtual void Resize(int width, int height);
  virtual bool HasWindow() const = 0;
  virtual const char* GetDrawingApiName() const = 0;
  // type and answer are the platform's button codes (kMessageBoxYes = yes).
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
  // The menu or sub-menu chosen from (its chosen index set), or null when dismissed. Mouse
  // capture is released first, and the whole editor is repainted after.
  virtual PopupMenu* ShowPopupMenu(PopupMenu* menu, const Rect& rect) = 0;
  // A one-line text box over rect; a commit reaches CommitTextEntry.
  virtual void ShowTextEntry(IControl* control, const TextStyle& style, const Rect& rect,
                             const char* text, IParameter* param) = 0;
  virtual void GetHostExeFolder(std::string* path) = 0;
  virtual void GetPluginFolder(std::string* path) = 0;
  virtual void GetDesktopFolder(std::string* path) = 0;
  virtual void GetAppDataFolder(std::string* path, bool allUsers) = 0;
  virtual void GetUserAppDataFolder(std::string* path) { GetAppDataFolder(path, false); }
  // fileName becomes the chosen full path, or empty when nothing was chosen; folder becomes the
  // chosen file's folder. extensions is a space-separated list ("fxp fxb").
  virtual void AskForFile(std::string* fileName, int action, std::string* folder,
                          const char* extensions) = 0;
  // Replaces red, green and blue on OK; alpha stays.
  virtual bool AskForColor(Color* color, const char* title) = 0;
  virtual bool OpenWebPage(const char* url, const char* caption = nullptr,
                           const char* confirmText = nullptr, const char* errorText = nullptr) = 0;
  // Asks the window to repaint rect soon (through DrawDirty).
  virtual void InvalidateRect(const Rect& rect) = 0;
  // The window opens with every control marked dirty and starts the redraw timer at FPS().
  virtual void* OpenEditorWindow(void* parent) = 0;
  // The host's idle call (effEditIdle), on the host's thread with the plug-in's mutex held. A
  // layer whose own timer does not run on the host's thread may run a redraw tick here.
  virtual void HostIdleTick() {}
  virtual void UnusedHook20() {}
  virtual void CloseEditorWindow() = 0;
  virtual void* GetWindowHandle() const = 0;
  virtual bool ReadClipboardText(std::string* text) = 0;
  virtual ~IGraphics();
  virtual void HidePointer() = 0;
  virtual void ShowPointer() = 0;
  virtual void UnusedHook27() {}
  // Decodes the plug-in's PNG resource with that id when the file name ends in ".png" (any
  // letter case); null otherwise or when the data are damaged.
  virtual std::unique_ptr<LICE_MemBitmap> LoadBitmapResource(int id, const char* fileName);
  // The image size of the same resource, read from its header without decoding.
  virtual bool ReadBitmapResourceSize(int id, const char* fileName, int* width, int* height);

  // Controls. The list owns them.
  int AttachControl(std::unique_ptr<IControl> control);
  // Inserts at index 0 the image of resource id as a plain bitmap at (0, 0).
  void AttachBackground(int id, const char* fileName);
  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControl(int i) const;
  void SetKeyCatcher(std::unique_ptr<IControl> control) { mKeyCatcher = std::move(control); }
  // Marks every control dirty without pushing values (a window that opens paints everything).
  void SetAllControlsDirty();

  // A bitmap resource through the process-wide cache: sized now, decoded at its first draw.
  // An unknown resource gives a strip of size 0 that draws nothing.
  BitmapStrip LoadBitmap(int id, const char* fileName, int nFrames = 1,
                         bool framesAreHorizontal = false);

  // Shows a parameter change made outside the editor in every control bound to the parameter
  // (and in the first aux binding on it of each control) on the next timer tick. Any thread;
  // stores one value per parameter and raises flags, nothing else. value is normalised unless
  // normalized is false, in which case the parameter's range and shape normalise it.
  void SetControlsFromParameter(int paramIdx, double value, bool normalized);
  // Hands the stored values to their controls. Editor thread; CollectDirty does it every tick.
  void ApplyParameterValues();

  // The redraw cycle: the union of the dirty controls' rects (true when any is dirty), then the
  // drawing of everything that meets it, which ends in PresentRect.
  bool CollectDirty(Rect* rect);
  bool DrawDirty(const Rect& rect);

  // Events from the window layer, in client coordinates.
  void HandleMouseDown(int x, int y, const MouseModifiers& mod);
  void HandleMouseUp(int x, int y, const MouseModifiers& mod);
  void HandleMouseDrag(int x, int y, const MouseModifiers& mod);
  // True asks the window layer to capture the mouse.
  bool HandleDoubleClick(int x, int y, const MouseModifiers& mod);
  void HandleMouseWheel(int x, int y, const MouseModifiers& mod, int notches);
  // True asks the window layer for leave notifications.
  bool HandleMouseOver(int x, int y, const MouseModifiers& mod);
  void HandleMouseOut();
  bool HandleKeyDown(int x, int y, int key);
  // The index of the control an event at (x, y) goes to, or -1.
  int GetMouseControlIdx(int x, int y, bool mouseOver = false) const;
  void ReleaseMouseCapture();
  int GetMouseCapture() const { return mMouseCapture; }
  int GetMouseOver() const { return mMouseOver; }
  void SetHandleMouseOver(bool handle) { mHandleMouseOver = handle; }
  bool GetHandleMouseOver() const { return mHandleMouseOver; }

  // A committed text box: with a parameter the text is read as a number or a display text and
  // set through the control; without one the control gets the text (at most 31 characters).
  void CommitTextEntry(IControl* control, const IParameter* param, const char* text);

  // Drawing, for controls' Draw. Everything is clipped to the area being redrawn.
  // Frame n is 1-based; blend null draws an alpha-blended copy at full weight.
  bool DrawBitmapFrame(const BitmapStrip& strip, const Rect& dest, int n,
                       const BlendMode* blend = nullptr);
  bool BlitBitmap(const BitmapStrip& strip, const Rect& dest, int srcX, int srcY,
                  const BlendMode* blend = nullptr);
  // Empty text draws nothing and succeeds; false when no font can be made for the style.
  bool DrawText(const TextStyle& style, const char* text, const Rect& rect);
  bool FillRect(const Color& color, const Rect& rect, const BlendMode* blend = nullptr);
  // The pixels of a strip, decoding them on first use; null when they cannot be had.
  const LICE_IBitmap* GetStripPixels(const BitmapStrip& strip);
  LICE_MemBitmap* GetDrawBitmap() { return &mDrawBitmap; }
  const Rect& GetDrawRect() const { return mDrawRECT; }

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  IPlugBase* Plug() const { return mPlug; }

 protected:
  // One stored value per parameter, written by any thread, taken by the editor's.
  struct PendingValue {
    std::atomic<double> mValue{0.0};
    std::atomic<bool> mSet{false};
  };
  void BuildBindingIndex();

  IPlugBase* mPlug;  // not owned
  int mWidth;
  int mHeight;
  int mFPS;
  std::vector<std::unique_ptr<IControl>> mControls;
  Rect mDrawRECT;
  LICE_MemBitmap mDrawBitmap;
  int mMouseCapture = -1;
  int mMouseOver = -1;
  int mMouseX = -1;
  int mMouseY = -1;
  int mIdleTicks = 0;
  bool mHandleMouseOver = false;
  std::unique_ptr<IControl> mKeyCatcher;

  std::unique_ptr<PendingValue[]> mPending;
  int mNPending = 0;
  std::atomic<bool> mAnyPending{false};
  // Controls bound to each parameter, and (control, aux index) pairs, built on first need.
  std::vector<std::vector<int>> mBound;
  std::vector<std::vector<std::pair<int, int>>> mAuxBound;
  bool mBindingIndexValid = false;
};
