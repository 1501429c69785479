#define NOMINMAX
#include <windows.h>
// windows.h maps DrawText to DrawTextA; IGraphics has a member of that name.
#undef DrawText
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/IParameter.h"
#include "framework/IPlugBase.h"
#include "platform/win/IGraphicsWin.h"

namespace {

constexpr wchar_t kWindowClass[] = L"IPlugWndClass";
constexpr wchar_t kWindowTitle[] = L"IPlug";
constexpr int kWheelDeltaPerNotch = 120;
// The text box hands over at most this many characters (a 32-character buffer).
constexpr int kTextEntryBuffer = 32;
constexpr std::size_t kMaxFirstExtension = 15;
constexpr std::size_t kMaxFilterText = 255;
constexpr int kMaxFileName = 256;

// Process-wide, touched only on the user-interface thread.
int gWindowCount = 0;
int gRefreshRate = IGraphics::kDefaultFPS;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

std::wstring Widen(const char* text) {
  if (!text || !*text) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
  out.resize(static_cast<std::size_t>(n - 1));
  return out;
}

std::string Narrow(const wchar_t* text) {
  if (!text || !*text) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(n - 1));
  return out;
}

std::string ModuleFolder(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string folder = Narrow(path);
  const std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

std::string ShellFolder(int which) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return Narrow(path);
}

bool HasPngExtension(const char* fileName) {
  const char* dot = fileName ? std::strrchr(fileName, '.') : nullptr;
  if (!dot) return false;
  return (dot[1] | 0x20) == 'p' && (dot[2] | 0x20) == 'n' && (dot[3] | 0x20) == 'g' &&
         dot[4] == '\0';
}

// The bytes of PNG resource id in module, or none.
bool FindPng(HINSTANCE module, int id, const char* fileName, const unsigned char** data,
             std::size_t* size) {
  if (!HasPngExtension(fileName)) return false;
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  if (!found) return false;
  const void* bytes = LockResource(LoadResource(module, found));
  if (!bytes) return false;
  *data = static_cast<const unsigned char*>(bytes);
  *size = SizeofResource(module, found);
  return true;
}

COLORREF ToColorRef(const Color& c) {
  return RGB(std::clamp(c.R, 0, 255), std::clamp(c.G, 0, 255), std::clamp(c.B, 0, 255));
}

// Builds the native menu depth first; a menu's items take the commands from *next on, and a
// sub-menu's block follows when its item is reached (as PopupMenu::FindCommand numbers them).
HMENU BuildMenu(const PopupMenu& menu, int* next) {
  HMENU native = CreatePopupMenu();
  if (!native) return nullptr;
  const int base = *next;
  *next += menu.NItems();
  for (int i = 0; i < menu.NItems(); ++i) {
    const PopupMenuItem* item = menu.GetItem(i);
    if (item->IsSeparator()) {
      AppendMenuW(native, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::wstring label = Widen(menu.ItemLabel(i).c_str());
    if (const PopupMenu* sub = item->GetSubmenu()) {
      HMENU nativeSub = BuildMenu(*sub, next);
      AppendMenuW(native, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(nativeSub),
                  label.c_str());
      continue;
    }
    UINT flags = MF_STRING;
    if (item->GetFlags() & PopupMenuItem::kGrayed) flags |= MF_GRAYED;
    if (item->GetFlags() & PopupMenuItem::kDisabled) flags |= MF_DISABLED;
    if (item->IsChecked()) flags |= MF_CHECKED;
    AppendMenuW(native, flags, static_cast<UINT_PTR>(base + i), label.c_str());
  }
  return native;
}

UINT_PTR CALLBACK ColorHook(HWND dialog, UINT msg, WPARAM /*wParam*/, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const auto* choose = reinterpret_cast<const CHOOSECOLORW*>(lParam);
    if (choose && choose->lCustData) {
      SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(choose->lCustData));
    }
  }
  return 0;
}

struct FindClassWindow {
  std::wstring className;
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindTopLevelOfClass(HWND wnd, LPARAM param) {
  auto* search = reinterpret_cast<FindClassWindow*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(wnd, &process);
  if (process != search->process) return TRUE;
  wchar_t name[256] = {};
  GetClassNameW(wnd, name, 256);
  if (search->className != name) return TRUE;
  search->found = wnd;
  return FALSE;
}

}  // namespace

// The window procedures, with access to the layer's state.
struct IGraphicsWinProc {
  static LRESULT CALLBACK Editor(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK TextEntry(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT Mouse(IGraphicsWin* gui, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT Key(IGraphicsWin* gui, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static void PassToHost(IGraphicsWin* gui, UINT msg, WPARAM wParam, LPARAM lParam);
};

// ---- Rules of the translation ----

int IGraphicsWin::WindowCount() {
  return gWindowCount;
}

int IGraphicsWin::TimerInterval(int fps) {
  return fps > 0 ? 1000 / fps : 1000 / kDefaultFPS;
}

int IGraphicsWin::TranslateKey(int virtualKey) {
  switch (virtualKey) {
    case VK_SPACE:
      return kKeySpace;
    case VK_UP:
      return kKeyUp;
    case VK_DOWN:
      return kKeyDown;
    case VK_LEFT:
      return kKeyLeft;
    case VK_RIGHT:
      return kKeyRight;
    default:
      break;
  }
  if (virtualKey >= '0' && virtualKey <= '9') return kKeyDigit0 + (virtualKey - '0');
  if (virtualKey >= 'A' && virtualKey <= 'Z') return kKeyLetterA + (virtualKey - 'A');
  return -1;
}

int IGraphicsWin::WheelNotches(int delta) {
  return delta / kWheelDeltaPerNotch;
}

bool IGraphicsWin::AcceptsCharacter(int paramType, unsigned character) {
  if (character == '\b') return true;
  const bool digitOrSign =
      (character >= '0' && character <= '9') || character == '+' || character == '-';
  switch (paramType) {
    case ParamTypeBool:
    case ParamTypeInt:
    case ParamTypeEnum:
      return digitOrSign;
    case ParamTypeDouble:
      return digitOrSign || character == '.';
    default:
      return true;
  }
}

std::string IGraphicsWin::FilePattern(const char* extensions) {
  std::string pattern;
  const char* p = extensions ? extensions : "";
  while (*p) {
    while (*p == ' ') ++p;
    const char* start = p;
    while (*p && *p != ' ') ++p;
    if (p == start) break;
    if (!pattern.empty()) pattern += ';';
    pattern += "*.";
    pattern.append(start, p);
  }
  return pattern;
}

// ---- Life of the object and its window ----

IGraphicsWin::IGraphicsWin(IPlugBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps), mHInstance(ThisModule()) {}

IGraphicsWin::~IGraphicsWin() {
  CloseEditorWindow();
}

void* IGraphicsWin::OpenEditorWindow(void* parent) {
  int x = 0, y = 0, w = Width(), h = Height();
  if (mWnd) {
    // A second open keeps where the window is and how large it has become.
    RECT r;
    GetWindowRect(static_cast<HWND>(mWnd), &r);
    POINT topLeft{r.left, r.top};
    ScreenToClient(GetParent(static_cast<HWND>(mWnd)), &topLeft);
    x = topLeft.x;
    y = topLeft.y;
    w = r.right - r.left;
    h = r.bottom - r.top;
    CloseEditorWindow();
  }
  HINSTANCE module = static_cast<HINSTANCE>(mHInstance);
  if (gWindowCount == 0) {
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = IGraphicsWinProc::Editor;
    wc.hInstance = module;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
  }
  gRefreshRate = FPS();
  mParentWnd = parent;
  HWND wnd = CreateWindowW(kWindowClass, kWindowTitle, WS_CHILD | WS_VISIBLE, x, y, w, h,
                           static_cast<HWND>(parent), nullptr, module, this);
  if (!wnd) {
    if (gWindowCount == 0) UnregisterClassW(kWindowClass, module);
    return nullptr;
  }
  mWnd = wnd;
  ++gWindowCount;
  ApplyParameterValues();
  SetAllControlsDirty();

  if (mTooltipsEnabled) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_BAR_CLASSES};
    bool ok = InitCommonControlsEx(&init);
    HWND tip =
        ok ? CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, wnd, nullptr, module, nullptr)
           : nullptr;
    if (tip) {
      TTTOOLINFOW info = {};
      // The older record size, which every version of the common controls accepts.
      info.cbSize = TTTOOLINFOW_V2_SIZE;
      info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      info.hwnd = wnd;
      info.uId = reinterpret_cast<UINT_PTR>(wnd);
      info.lpszText = const_cast<wchar_t*>(L"");
      ok = SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
      if (!ok) DestroyWindow(tip);
    }
    if (ok && tip) {
      mTooltipWnd = tip;
    } else {
      mTooltipsEnabled = false;
    }
  }
  return mWnd;
}

void IGraphicsWin::CloseEditorWindow() {
  if (!mWnd) return;
  if (mTooltipWnd) {
    DestroyWindow(static_cast<HWND>(mTooltipWnd));
    mTooltipWnd = nullptr;
  }
  mTooltipShown = false;
  mTooltipIdx = -1;
  if (mTextEntryWnd) DestroyTextEntry();
  mTextEntryState = kEntryIdle;
  HWND wnd = static_cast<HWND>(mWnd);
  // Cleared first: a close message that arrives while the window goes is then ignored.
  mWnd = nullptr;
  KillTimer(wnd, kTimerId);
  SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
  DestroyWindow(wnd);
  if (--gWindowCount <= 0) {
    gWindowCount = 0;
    UnregisterClassW(kWindowClass, static_cast<HINSTANCE>(mHInstance));
  }
}

void* IGraphicsWin::FindHostTopLevel() {
  if (mParentWnd) {
    HWND top = static_cast<HWND>(mParentWnd);
    while (HWND up = GetParent(top)) top = up;
    wchar_t name[256] = {};
    GetClassNameW(top, name, 256);
    mTopLevelWnd = top;
    mTopLevelClass = Narrow(name);
  } else if (!mTopLevelClass.empty()) {
    FindClassWindow search{Widen(mTopLevelClass.c_str()), GetCurrentProcessId(), nullptr};
    EnumWindows(FindTopLevelOfClass, reinterpret_cast<LPARAM>(&search));
    mTopLevelWnd = search.found;
  }
  return mTopLevelWnd;
}

// ---- Painting ----

bool IGraphicsWin::PresentRect(const Rect& rect) {
  HWND wnd = static_cast<HWND>(mWnd);
  LICE_MemBitmap* bitmap = GetDrawBitmap();
  const Rect r = rect.Intersect(Rect(0, 0, bitmap->getWidth(), bitmap->getHeight()));
  if (!wnd || r.Empty()) return true;
  HDC dc = mPaintDC ? static_cast<HDC>(mPaintDC) : GetDC(wnd);
  if (!dc) return false;
  // Only the rows of the area are described, so the source always starts at the first of them
  // whichever way the system counts rows.
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = bitmap->getRowSpan();
  info.bmiHeader.biHeight = -r.H();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const LICE_pixel* rows = bitmap->getBits() + static_cast<std::size_t>(r.T) * bitmap->getRowSpan();
  SetDIBitsToDevice(dc, r.L, r.T, static_cast<DWORD>(r.W()), static_cast<DWORD>(r.H()), r.L, 0, 0,
                    static_cast<UINT>(r.H()), rows, &info, DIB_RGB_COLORS);
  if (!mPaintDC) ReleaseDC(wnd, dc);
  return true;
}

void IGraphicsWin::InvalidateRect(const Rect& rect) {
  if (!mWnd) return;
  RECT r{rect.L, rect.T, rect.R, rect.B};
  ::InvalidateRect(static_cast<HWND>(mWnd), &r, FALSE);
}

void IGraphicsWin::OnTimer() {
  if (mTextEntryWnd && mTextEntryState != kEntryIdle) {
    if (mTextEntryState == kEntryCommit) {
      ApplyTextEntry();
    } else if (mTextEntryState == kEntryCancel) {
      DestroyTextEntry();
    }
    mTextEntryState = kEntryIdle;
    return;
  }
  Rect dirty;
  if (!CollectDirty(&dirty)) return;
  HWND wnd = static_cast<HWND>(mWnd);
  RECT r{dirty.L, dirty.T, dirty.R, dirty.B};
  ::InvalidateRect(wnd, &r, FALSE);
  if (mTextEntryWnd) {
    // The box lies over its control; painting the control would hide it.
    const Rect& c = mTextEntryControl->GetRECT();
    RECT box{c.L, c.T, c.R, c.B};
    ValidateRect(wnd, &box);
    UpdateWindow(wnd);
    mTextEntryState = kEntryRefreshed;
  } else {
    UpdateWindow(wnd);
  }
}

void IGraphicsWin::Resize(int width, int height) {
  if (width == Width() && height == Height()) return;
  const int dw = width - Width();
  const int dh = height - Height();
  IGraphics::Resize(width, height);
  if (!mWnd) return;
  auto grow = [dw, dh](HWND wnd) {
    RECT r;
    GetWindowRect(wnd, &r);
    SetWindowPos(wnd, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  auto isChild = [](HWND wnd) {
    return (GetWindowLongW(wnd, GWL_STYLE) & WS_CHILD) &&
           !(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_MDICHILD);
  };
  HWND wnd = static_cast<HWND>(mWnd);
  grow(wnd);
  if (isChild(wnd)) {
    if (HWND parent = GetParent(wnd)) {
      grow(parent);
      if (isChild(parent)) {
        if (HWND grandparent = GetParent(parent)) grow(grandparent);
      }
    }
  }
  InvalidateRect(Rect(0, 0, width, height));
}

// ---- Text box ----

void IGraphicsWin::ShowTextEntry(IControl* control, const TextStyle& style, const Rect& rect,
                                 const char* text, IParameter* param) {
  if (!control || mTextEntryWnd || !mWnd) return;
  DWORD align = ES_CENTER;
  if (style.mAlign == TextStyle::kAlignNear) align = ES_LEFT;
  if (style.mAlign == TextStyle::kAlignFar) align = ES_RIGHT;
  HWND box = CreateWindowW(
      L"EDIT", Widen(text).c_str(), WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL | align,
      rect.L, rect.T, rect.R - rect.L + 1, rect.B - rect.T + 1, static_cast<HWND>(mWnd),
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextEntryControlId)),
      static_cast<HINSTANCE>(mHInstance), nullptr);
  if (!box) return;
  HFONT font = CreateFontW(style.mSize, 0, 0, 0, style.mStyle == TextStyle::kBold ? 700 : 400,
                           style.mStyle == TextStyle::kItalic, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                           Widen(style.mFont).c_str());
  if (font) SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  mTextEntryWnd = box;
  mTextEntryFont = font;
  mTextEntryControl = control;
  mTextEntryParam = param;
  SendMessageW(box, EM_LIMITTEXT, static_cast<WPARAM>(std::max(control->GetTextEntryLength(), 0)),
               0);
  SendMessageW(box, EM_SETSEL, 0, -1);
  // Handler and marker go in before the focus does, so the box's first focus already counts.
  mTextEntryProc =
      SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(IGraphicsWinProc::TextEntry));
  SetWindowLongPtrW(box, GWLP_USERDATA, static_cast<LONG_PTR>(kTextEntryMarker));
  SetFocus(box);
}

void IGraphicsWin::CancelTextEntry() {
  if (mTextEntryWnd) mTextEntryState = kEntryCancel;
}

void IGraphicsWin::ApplyTextEntry() {
  wchar_t buffer[kTextEntryBuffer] = {};
  GetWindowTextW(static_cast<HWND>(mTextEntryWnd), buffer, kTextEntryBuffer);
  IControl* control = mTextEntryControl;
  const IParameter* param = mTextEntryParam;
  const std::string text = Narrow(buffer);
  // Gone before the control hears of it: a control may open another box in answer.
  DestroyTextEntry();
  CommitTextEntry(control, param, text.c_str());
}

void IGraphicsWin::DestroyTextEntry() {
  HWND box = static_cast<HWND>(mTextEntryWnd);
  if (!box) return;
  SetWindowLongPtrW(box, GWLP_WNDPROC, static_cast<LONG_PTR>(mTextEntryProc));
  mTextEntryWnd = nullptr;
  DestroyWindow(box);
  if (mTextEntryFont) DeleteObject(static_cast<HFONT>(mTextEntryFont));
  mTextEntryFont = nullptr;
  mTextEntryControl = nullptr;
  mTextEntryParam = nullptr;
  mTextEntryProc = 0;
  // The keyboard comes back to the editor.
  if (mWnd && GetFocus() == nullptr) SetFocus(static_cast<HWND>(mWnd));
}

// ---- Tooltips ----

void IGraphicsWin::SetTooltip(int controlIdx, std::string text) {
  mTooltips[controlIdx] = std::move(text);
}

void IGraphicsWin::HideTooltip() {
  if (!mTooltipShown || !mTooltipWnd) return;
  TTTOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = static_cast<HWND>(mWnd);
  info.uId = reinterpret_cast<UINT_PTR>(mWnd);
  info.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(static_cast<HWND>(mTooltipWnd), TTM_UPDATETIPTEXTW, 0,
               reinterpret_cast<LPARAM>(&info));
  mTooltipShown = false;
}

void IGraphicsWin::ShowTooltip() {
  if (!mTooltipWnd) return;
  const auto found = mTooltips.find(mTooltipIdx);
  std::wstring text = found == mTooltips.end() ? std::wstring() : Widen(found->second.c_str());
  TTTOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = static_cast<HWND>(mWnd);
  info.uId = reinterpret_cast<UINT_PTR>(mWnd);
  info.lpszText = text.data();
  SendMessageW(static_cast<HWND>(mTooltipWnd), TTM_UPDATETIPTEXTW, 0,
               reinterpret_cast<LPARAM>(&info));
  mTooltipShown = true;
}

// ---- Window messages ----

MouseModifiers IGraphicsWin::ReadModifiers(unsigned long long wParam) const {
  MouseModifiers mod;
  mod.L = (wParam & MK_LBUTTON) != 0;
  mod.R = (wParam & MK_RBUTTON) != 0;
  mod.S = (wParam & MK_SHIFT) != 0;
  mod.C = (wParam & MK_CONTROL) != 0;
  mod.A = GetKeyState(VK_MENU) < 0;
  return mod;
}

void IGraphicsWinProc::PassToHost(IGraphicsWin* gui, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (HWND host = static_cast<HWND>(gui->FindHostTopLevel())) {
    SendMessageW(host, msg, wParam, lParam);
  }
}

LRESULT IGraphicsWinProc::Key(IGraphicsWin* gui, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN) {
    const int key = IGraphicsWin::TranslateKey(static_cast<int>(wParam));
    if (key >= 0) {
      POINT p;
      GetCursorPos(&p);
      ScreenToClient(wnd, &p);
      if (gui->HandleKeyDown(p.x, p.y, key)) return 0;
    }
  }
  PassToHost(gui, msg, wParam, lParam);
  return DefWindowProcW(wnd, msg, wParam, lParam);
}

LRESULT IGraphicsWinProc::Mouse(IGraphicsWin* gui, HWND wnd, UINT msg, WPARAM wParam,
                                LPARAM lParam) {
  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  const MouseModifiers mod = gui->ReadModifiers(wParam);
  switch (msg) {
    case WM_MOUSEMOVE:
      if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
        if (GetCapture() == wnd && !gui->mTextEntryWnd) gui->HandleMouseDrag(x, y, mod);
      } else if (gui->HandleMouseOver(x, y, mod)) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, wnd, HOVER_DEFAULT};
        if (gui->mTooltipsEnabled && gui->GetMouseOver() != gui->mTooltipIdx) {
          gui->mTooltipIdx = gui->GetMouseOver();
          gui->HideTooltip();
          if (gui->mTooltipIdx >= 0) track.dwFlags |= TME_HOVER;
        }
        TrackMouseEvent(&track);
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      gui->HideTooltip();
      if (gui->mTextEntryWnd) {
        gui->mTextEntryState = IGraphicsWin::kEntryCommit;
        return 0;
      }
      SetFocus(wnd);
      SetCapture(wnd);
      gui->HandleMouseDown(x, y, mod);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      ReleaseCapture();
      gui->HandleMouseUp(x, y, mod);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (gui->HandleDoubleClick(x, y, mod)) SetCapture(wnd);
      return 0;
    case WM_MOUSEWHEEL: {
      if (gui->mTextEntryWnd) {
        gui->mTextEntryState = IGraphicsWin::kEntryCancel;
        return 0;
      }
      const int notches = IGraphicsWin::WheelNotches(GET_WHEEL_DELTA_WPARAM(wParam));
      // The message carries screen coordinates.
      RECT r;
      GetWindowRect(wnd, &r);
      gui->HandleMouseWheel(x - r.left, y - r.top, gui->ReadModifiers(GET_KEYSTATE_WPARAM(wParam)),
                            notches);
      return 0;
    }
    case WM_MOUSEHOVER:
      gui->ShowTooltip();
      return 0;
    case WM_MOUSELEAVE:
      gui->HideTooltip();
      gui->HandleMouseOut();
      return 0;
    default:
      return DefWindowProcW(wnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK IGraphicsWinProc::Editor(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* gui = static_cast<IGraphicsWin*>(create->lpCreateParams);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(gui));
    SetTimer(wnd, IGraphicsWin::kTimerId,
             static_cast<UINT>(IGraphicsWin::TimerInterval(gRefreshRate)), nullptr);
    SetFocus(wnd);
    return 0;
  }
  auto* gui = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!gui) return DefWindowProcW(wnd, msg, wParam, lParam);

  if (gui->mTextEntryWnd && gui->mTextEntryState == IGraphicsWin::kEntryActive) {
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) {
      gui->mTextEntryState = IGraphicsWin::kEntryCancel;
      return 0;
    }
    // The release of the press that opened the box still ends that press: it frees the mouse
    // capture (else the host's other windows would get no clicks) and ends the control's gesture.
    if (msg == WM_LBUTTONUP || msg == WM_RBUTTONUP) return Mouse(gui, wnd, msg, wParam, lParam);
    // While the box has the keyboard nothing else happens, redraws included.
    if (msg != WM_CTLCOLOREDIT) return DefWindowProcW(wnd, msg, wParam, lParam);
  }

  switch (msg) {
    case WM_TIMER:
      if (wParam == IGraphicsWin::kTimerId) gui->OnTimer();
      return 0;
    case WM_PAINT: {
      RECT r;
      if (GetUpdateRect(wnd, &r, FALSE)) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        gui->mPaintDC = dc;
        gui->DrawDirty(Rect(r.left, r.top, r.right, r.bottom));
        gui->mPaintDC = nullptr;
        EndPaint(wnd, &ps);
      }
      return 0;
    }
    case WM_CLOSE:
      gui->CloseEditorWindow();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
      return Key(gui, wnd, msg, wParam, lParam);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHOVER:
    case WM_MOUSELEAVE:
      return Mouse(gui, wnd, msg, wParam, lParam);
    case WM_CTLCOLOREDIT: {
      if (!gui->mTextEntryControl) break;
      const TextStyle& style = gui->mTextEntryControl->GetTextStyle();
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, ToColorRef(style.mTextEntryBGColor));
      SetTextColor(dc, ToColorRef(style.mTextEntryFGColor));
      SetBkMode(dc, OPAQUE);
      SetDCBrushColor(dc, ToColorRef(style.mTextEntryBGColor));
      return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }
    default:
      break;
  }
  return DefWindowProcW(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK IGraphicsWinProc::TextEntry(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* gui = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(GetParent(wnd), GWLP_USERDATA));
  if (!gui || gui->mTextEntryWnd != wnd) return DefWindowProcW(wnd, msg, wParam, lParam);
  const auto native = reinterpret_cast<WNDPROC>(gui->mTextEntryProc);
  gui->HideTooltip();
  switch (msg) {
    case WM_SETFOCUS:
      gui->mTextEntryState = IGraphicsWin::kEntryActive;
      break;
    case WM_KILLFOCUS:
      gui->mTextEntryState = IGraphicsWin::kEntryCommit;
      break;
    case WM_GETDLGCODE: {
      LRESULT code = CallWindowProcW(native, wnd, msg, wParam, lParam);
      const auto* query = reinterpret_cast<const MSG*>(lParam);
      if (!gui->mTextEntryParam && query && query->message == WM_KEYDOWN &&
          query->wParam == VK_RETURN) {
        code |= DLGC_WANTALLKEYS;
      }
      return code;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        gui->mTextEntryState = IGraphicsWin::kEntryCommit;
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        gui->mTextEntryState = IGraphicsWin::kEntryCancel;
        return 0;
      }
      break;
    case WM_CHAR:
      // Return and Escape were taken at key down; their characters would only beep.
      if (wParam == '\r' || wParam == 0x1b) return 0;
      if (gui->mTextEntryParam && !IGraphicsWin::AcceptsCharacter(gui->mTextEntryParam->Type(),
                                                                  static_cast<unsigned>(wParam))) {
        return 0;
      }
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        gui->mTextEntryState = IGraphicsWin::kEntryCommit;
        return 0;
      }
      break;
    default:
      break;
  }
  return CallWindowProcW(native, wnd, msg, wParam, lParam);
}

// ---- Menus and dialogs ----

PopupMenu* IGraphicsWin::ShowPopupMenu(PopupMenu* menu, const Rect& rect) {
  ReleaseMouseCapture();
  if (!menu || !mWnd) return nullptr;
  menu->ClearChoice();
  HWND wnd = static_cast<HWND>(mWnd);
  int next = 0;
  HMENU native = BuildMenu(*menu, &next);
  if (!native) return nullptr;
  POINT p{rect.L, rect.B};
  ClientToScreen(wnd, &p);
  PopupMenu* chosen = nullptr;
  if (TrackPopupMenu(native, TPM_LEFTALIGN | TPM_LEFTBUTTON, p.x, p.y, 0, wnd, nullptr)) {
    MSG msg;
    if (PeekMessageW(&msg, wnd, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
      int item = -1;
      chosen = menu->FindCommand(LOWORD(msg.wParam), &item);
      if (chosen) chosen->SetChosenItemIdx(item);
    }
  }
  DestroyMenu(native);
  ::InvalidateRect(wnd, nullptr, FALSE);
  return chosen;
}

int IGraphicsWin::ShowMessageBox(const char* text, const char* caption, int type) {
  HWND owner = static_cast<HWND>(FindHostTopLevel());
  return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), static_cast<UINT>(type));
}

void IGraphicsWin::GetHostExeFolder(std::string* path) {
  *path = ModuleFolder(nullptr);
}

void IGraphicsWin::GetPluginFolder(std::string* path) {
  *path = ModuleFolder(static_cast<HMODULE>(mHInstance));
}

void IGraphicsWin::GetDesktopFolder(std::string* path) {
  *path = ShellFolder(CSIDL_DESKTOP);
}

void IGraphicsWin::GetAppDataFolder(std::string* path, bool allUsers) {
  *path = ShellFolder(allUsers ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA);
}

void IGraphicsWin::AskForFile(std::string* fileName, int action, std::string* folder,
                              const char* extensions) {
  if (!fileName) return;
  if (!mWnd) {
    fileName->clear();
    return;
  }
  char file[kMaxFileName] = {};
  std::snprintf(file, sizeof file, "%s", fileName->c_str());
  std::string initialFolder = folder ? *folder : std::string();
  if (initialFolder.empty()) GetDesktopFolder(&initialFolder);

  std::string pattern = FilePattern(extensions);
  if (pattern.size() > kMaxFilterText / 2) pattern.clear();
  // Description and pattern, each closed, and the list closed by an empty one.
  std::string filter = pattern + '\0' + pattern + '\0' + '\0';
  std::string defaultExt;
  if (extensions) {
    const char* p = extensions;
    while (*p == ' ') ++p;
    while (*p && *p != ' ' && defaultExt.size() < kMaxFirstExtension) defaultExt += *p++;
  }

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = static_cast<HWND>(mWnd);
  ofn.lpstrFilter = pattern.empty() ? nullptr : filter.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file - 1;
  ofn.lpstrInitialDir = initialFolder.c_str();
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  BOOL ok;
  if (action == kFileSave) {
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    ok = GetSaveFileNameA(&ofn);
  } else {
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    ok = GetOpenFileNameA(&ofn);
  }
  if (!ok) {
    fileName->clear();
    return;
  }
  *fileName = file;
  if (folder) {
    char drive[_MAX_DRIVE] = {}, dir[_MAX_DIR] = {};
    _splitpath(file, drive, dir, nullptr, nullptr);
    *folder = std::string(drive) + dir;
  }
}

bool IGraphicsWin::AskForColor(Color* color, const char* title) {
  if (!mWnd || !color) return false;
  if (!mCustomColorsMade) {
    std::fill(std::begin(mCustomColors), std::end(mCustomColors), RGB(255, 255, 255));
    mCustomColorsMade = true;
  }
  const std::wstring caption = Widen(title);
  CHOOSECOLORW choose = {};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = static_cast<HWND>(mWnd);
  choose.rgbResult = ToColorRef(*color);
  choose.lpCustColors = reinterpret_cast<COLORREF*>(mCustomColors);
  choose.Flags = CC_FULLOPEN | CC_ANYCOLOR | CC_RGBINIT | CC_ENABLEHOOK;
  choose.lpfnHook = ColorHook;
  choose.lCustData = caption.empty() ? 0 : reinterpret_cast<LPARAM>(caption.c_str());
  if (!ChooseColorW(&choose)) return false;
  color->R = GetRValue(choose.rgbResult);
  color->G = GetGValue(choose.rgbResult);
  color->B = GetBValue(choose.rgbResult);
  return true;
}

bool IGraphicsWin::OpenWebPage(const char* url, const char* caption, const char* confirmText,
                               const char* errorText) {
  if (confirmText && ShowMessageBox(confirmText, caption, MB_YESNO) != kMessageBoxYes) {
    return false;
  }
  DWORD state = 0;
  if (url && InternetGetConnectedState(&state, 0)) {
    const HINSTANCE result = ShellExecuteW(static_cast<HWND>(mWnd), L"open", Widen(url).c_str(),
                                           nullptr, nullptr, SW_SHOWNORMAL);
    // Values above 32 mean success.
    if (reinterpret_cast<INT_PTR>(result) > 32) return true;
  }
  if (errorText) ShowMessageBox(errorText, caption, MB_OK);
  return false;
}

bool IGraphicsWin::ReadClipboardText(std::string* text) {
  if (!text) return false;
  text->clear();
  if (!OpenClipboard(static_cast<HWND>(mWnd))) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      *text = Narrow(wide);
      ok = !text->empty();
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return ok;
}

void IGraphicsWin::HidePointer() {
  if (mPointerHidden) return;
  POINT p;
  GetCursorPos(&p);
  mHiddenPointerX = p.x;
  mHiddenPointerY = p.y;
  ShowCursor(FALSE);
  mPointerHidden = true;
}

void IGraphicsWin::ShowPointer() {
  if (!mPointerHidden) return;
  SetCursorPos(mHiddenPointerX, mHiddenPointerY);
  ShowCursor(TRUE);
  mPointerHidden = false;
}

std::unique_ptr<LICE_MemBitmap> IGraphicsWin::LoadBitmapResource(int id, const char* fileName) {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  if (!FindPng(static_cast<HINSTANCE>(mHInstance), id, fileName, &data, &size)) return nullptr;
  return LICE_LoadPNGFromMemory(data, size);
}
