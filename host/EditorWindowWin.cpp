#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <chrono>

#include "host/EditorFrameWin.h"
#include "host/EditorSession.h"
#include "host/EditorWindow.h"

namespace vsthost {

namespace {

constexpr wchar_t kFrameClass[] = L"RhythmoriaEditorFrame";
constexpr DWORD kFrameStyle = WS_OVERLAPPEDWINDOW & ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
// Hosts call effEditIdle from their own timers, typically 25 to 50 times a second.
constexpr int kIdleIntervalMs = 33;
// Posted to the frame to reopen the editor outside the editor's own message handling, which is
// where a key it passes on arrives.
constexpr UINT kReopenMessage = WM_APP + 1;

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
  out.resize(out.size() - 1);
  return out;
}

}  // namespace

struct EditorFrameProc {
  static LRESULT CALLBACK Handle(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* frame = reinterpret_cast<EditorFrameWin*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
      frame =
          static_cast<EditorFrameWin*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frame));
    }
    if (frame) {
      switch (msg) {
        case WM_CLOSE:
          frame->Destroy();
          return 0;
        case WM_KEYDOWN:
          frame->keysReceived.push_back(static_cast<int>(wParam));
          if (wParam == VK_F5 && frame->reopenOnF5) PostMessageW(wnd, kReopenMessage, 0, 0);
          return 0;
        case kReopenMessage:
          frame->CloseEditor();
          frame->OpenEditor();
          return 0;
        default:
          break;
      }
    }
    return DefWindowProcW(wnd, msg, wParam, lParam);
  }
};

EditorFrameWin::EditorFrameWin(PluginHost& host) : mHost(host) {}

EditorFrameWin::~EditorFrameWin() {
  Destroy();
}

bool EditorFrameWin::Open(const std::string& title, int x, int y, std::string* error) {
  ERect* rect = nullptr;
  if (!(mHost.Effect()->flags & effFlagsHasEditor) ||
      !mHost.Dispatch(effEditGetRect, 0, 0, &rect) || !rect) {
    if (error) *error = "the plug-in has no editor";
    return false;
  }
  HINSTANCE module = GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  if (!GetClassInfoW(module, kFrameClass, &wc)) {
    wc.lpfnWndProc = EditorFrameProc::Handle;
    wc.hInstance = module;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kFrameClass;
    RegisterClassW(&wc);
  }
  RECT size{0, 0, rect->right - rect->left, rect->bottom - rect->top};
  AdjustWindowRect(&size, kFrameStyle, FALSE);
  HWND wnd =
      CreateWindowW(kFrameClass, Widen(title).c_str(), kFrameStyle, x, y, size.right - size.left,
                    size.bottom - size.top, nullptr, nullptr, module, this);
  if (!wnd) {
    if (error) *error = "cannot create a window";
    return false;
  }
  mWnd = wnd;
  if (!OpenEditor()) {
    Destroy();
    if (error) *error = "the plug-in's editor did not open";
    return false;
  }
  ShowWindow(wnd, SW_SHOWNORMAL);
  UpdateWindow(wnd);
  return true;
}

bool EditorFrameWin::OpenEditor() {
  if (!mWnd || mEditorOpen) return mEditorOpen;
  mEditorOpen = mHost.Dispatch(effEditOpen, 0, 0, mWnd) != 0;
  if (mEditorOpen) ++mOpenCount;
  return mEditorOpen;
}

void EditorFrameWin::CloseEditor() {
  if (!mEditorOpen) return;
  mHost.Dispatch(effEditClose);
  mEditorOpen = false;
}

void EditorFrameWin::Destroy() {
  CloseEditor();
  if (!mWnd) return;
  HWND wnd = static_cast<HWND>(mWnd);
  mWnd = nullptr;
  SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
  DestroyWindow(wnd);
}

void PumpEditorFrames(const std::vector<EditorFrameWin*>& frames, double seconds,
                      const std::function<void(double)>& onTick) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point nextIdle = start;
  for (;;) {
    bool anyOpen = false;
    for (EditorFrameWin* frame : frames) anyOpen = anyOpen || frame->IsOpen();
    if (!anyOpen) return;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (seconds > 0 && elapsed >= seconds) return;

    if (Clock::now() >= nextIdle) {
      for (EditorFrameWin* frame : frames) {
        if (frame->EditorIsOpen()) frame->Host().Dispatch(effEditIdle);
      }
      if (onTick) onTick(elapsed);
      nextIdle += std::chrono::milliseconds(kIdleIntervalMs);
      if (nextIdle < Clock::now()) nextIdle = Clock::now();
    }
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(nextIdle - Clock::now());
    MsgWaitForMultipleObjects(
        0, nullptr, FALSE, static_cast<DWORD>(std::max<long long>(wait.count(), 0)), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

bool RunEditorWindow(PluginHost& host, const EditorWindowOptions& options, std::string* error) {
  EditorFrameWin frame(host);
  frame.reopenOnF5 = true;
  const std::string title = host.EffectName().empty() ? "Editor" : host.EffectName();
  if (!frame.Open(title, CW_USEDEFAULT, CW_USEDEFAULT, error)) return false;
  EditorSession session(host, options);
  auto view = [&frame] {
    EditorView v;
    v.open = frame.EditorIsOpen();
    v.opens = frame.OpenCount();
    HWND editor = frame.Handle() ? GetWindow(static_cast<HWND>(frame.Handle()), GW_CHILD) : nullptr;
    RECT r;
    if (v.open && editor && GetWindowRect(editor, &r)) {
      v.placeKnown = true;
      v.x = r.left;
      v.y = r.top;
      v.width = r.right - r.left;
      v.height = r.bottom - r.top;
    }
    return v;
  };
  PumpEditorFrames({&frame}, options.seconds, [&](double) { session.Idle(view()); });
  frame.Destroy();
  session.Finish(view());
  return true;
}

}  // namespace vsthost
