// The editor under a Windows host, for tests that click it with a real display (under wine with
// Xvfb): one or two plug-in instances built into this program, each with its editor in a
// top-level window of its own, pumped like a DAW. Until the plug-in lays out its own pages, each
// editor gets the preview's controls plus invisible probes: a popup menu, a text box without a
// parameter, one bound to the tempo, a message box, the file and colour dialogs, a web page, the
// clipboard and a control with a tooltip.
//
//   editor-harness [--instances 1|2] [--seconds S] [--page main|settings|sequence]
//                  [--reopen-at S] [--close-at S] [--resize-at S] [--stop-file PATH] [--play]
//
// It closes its windows after S seconds, or as soon as the stop file exists. --play runs the one
// editor through rhythmoria.exe edit's own loop instead, with the transport playing.
// It reports on standard output, one line each, flushed at once:
//   editor I X Y W H            where instance I's editor lies on the screen
//   menu I MENU ITEM TEXT       a menu item was chosen (MENU is "top" or "sub")
//   text I TEXT                 the text box without a parameter was committed
//   message I ANSWER            the message box's answer (6 = yes, 7 = no)
//   reopen I SAME|MOVED ...     a second effEditOpen over an open editor, then close and open
//   class I REGISTERED|GONE     the editor's window class after instance I's window closed
//   resize I W H FRAME W H      the editor's size and its window's inner size after a Resize
//   played FRAMES               the frames the transport played under --play
//   dialog I X Y W H            a dialog (file, colour) was activated there on the screen
//   file I [PATH]               the file dialog's answer (empty: nothing chosen)
//   color I OK R G B            the colour dialog's answer and the colour after it
//   web I OK                    whether the web page was handed to the browser
//   clipboard I OK [TEXT]       the clipboard's text
//   tooltip I shown [TEXT]      a tooltip became visible (once)
//   initial I INDEX VALUE DISPLAY  every parameter once the editors are up
//   changed I INDEX VALUE DISPLAY  a parameter changed since the last idle round
//   and at the end, per instance: param I INDEX VALUE DISPLAY, key I VK, and "done".

#define NOMINMAX
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#undef DrawText

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor/EditorPages.h"
#include "editor/GraphicsFactory.h"
#include "editor/IGraphics.h"
#include "engine/ParameterIndex.h"
#include "engine/Rhythmoria.h"
#include "host/EditorFrameWin.h"
#include "host/EditorWindow.h"
#include "platform/win/IGraphicsWin.h"
#include "tools/EditorPreview.h"

namespace {

EditorPreviewOptions gPreview;
int gInstanceCount = 0;
std::vector<Rhythmoria*> gPlugs;

void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Report(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
  std::fflush(stdout);
}

// An invisible control; probes only react.
class Probe : public IControl {
 public:
  Probe(IPlugBase* plug, const Rect& rect, int instance, int paramIdx = -1)
      : IControl(plug, rect, paramIdx), mInstance(instance) {}
  bool Draw(IGraphics*) override { return true; }

 protected:
  IGraphics* Gui() const { return mPlug->GetGUI(); }
  int mInstance;
};

class MenuProbe : public Probe {
 public:
  using Probe::Probe;
  void MouseDown(int, int, const MouseModifiers&) override {
    PopupMenu menu(PopupMenu::kThreeDigits);
    menu.AddItem("Alpha");
    menu.AddItem("Beta");
    menu.AddItem("Gamma", PopupMenuItem::kChecked);
    menu.AddSeparator();
    auto sub = std::make_unique<PopupMenu>(PopupMenu::kTwoDigits);
    sub->AddItem("Delta");
    sub->AddItem("Epsilon");
    menu.AddSubmenu("More", std::move(sub));
    menu.AddItem("Zeta", PopupMenuItem::kGrayed);
    PopupMenu* chosen = Gui()->ShowPopupMenu(&menu, GetRECT());
    if (!chosen) {
      Report("menu %d none", mInstance);
      return;
    }
    const int item = chosen->GetChosenItemIdx();
    Report("menu %d %s %d %s", mInstance, chosen == &menu ? "top" : "sub", item,
           chosen->GetItem(item)->GetText().c_str());
  }
};

class TextProbe : public Probe {
 public:
  TextProbe(IPlugBase* plug, const Rect& rect, int instance, int paramIdx = -1)
      : Probe(plug, rect, instance, paramIdx) {
    mTextEntryLength = 16;
  }
  void MouseDown(int, int, const MouseModifiers&) override {
    IParameter* param = ParamIdx() >= 0 ? mPlug->GetParam(ParamIdx()) : nullptr;
    Gui()->ShowTextEntry(this, GetTextStyle(), GetRECT(), param ? "120" : "Name", param);
  }
  void TextEntered(const char* text) override { Report("text %d %s", mInstance, text); }
};

// Asks a yes/no question in a message box owned by the host's window.
class MessageProbe : public Probe {
 public:
  using Probe::Probe;
  void MouseDown(int, int, const MouseModifiers&) override {
    const int answer = Gui()->ShowMessageBox("Proceed?", "Rhythmoria", MB_YESNO);
    Report("message %d %d", mInstance, answer);
  }
};

// Tells where each dialog of this thread appears when it is activated, so the test can click
// into it (with no window manager, a new dialog does not take the keyboard by itself).
class DialogReporter {
 public:
  explicit DialogReporter(int instance) {
    sInstance = instance;
    mHook = SetWindowsHookExW(WH_CBT, &DialogReporter::Hook, nullptr, GetCurrentThreadId());
  }
  ~DialogReporter() {
    if (mHook) UnhookWindowsHookEx(mHook);
  }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
      RECT r;
      if (GetWindowRect(reinterpret_cast<HWND>(wParam), &r)) {
        Report("dialog %d %ld %ld %ld %ld", sInstance, r.left, r.top, r.right - r.left,
               r.bottom - r.top);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline int sInstance = 0;
  HHOOK mHook = nullptr;
};

// The window layer's services that open something of their own: the file and colour dialogs,
// the web browser, and the clipboard's text.
class ServiceProbe : public Probe {
 public:
  enum Service { kFile, kColor, kWeb, kClipboard };
  ServiceProbe(IPlugBase* plug, const Rect& rect, int instance, Service service)
      : Probe(plug, rect, instance), mService(service) {}
  void MouseDown(int, int, const MouseModifiers&) override {
    DialogReporter dialogs(mInstance);
    switch (mService) {
      case kFile: {
        std::string name = "unchanged", folder;
        Gui()->AskForFile(&name, IGraphics::kFileOpen, &folder, "fxp fxb");
        Report("file %d [%s]", mInstance, name.c_str());
        break;
      }
      case kColor: {
        Color color(255, 10, 20, 30);
        const bool ok = Gui()->AskForColor(&color, "Probe colour");
        Report("color %d %d %d %d %d", mInstance, ok ? 1 : 0, color.R, color.G, color.B);
        break;
      }
      case kWeb:
        Report("web %d %d", mInstance,
               Gui()->OpenWebPage("http://127.0.0.1:9/probe-page.html") ? 1 : 0);
        break;
      case kClipboard: {
        std::string text;
        const bool ok = Gui()->ReadClipboardText(&text);
        Report("clipboard %d %d [%s]", mInstance, ok ? 1 : 0, text.c_str());
        break;
      }
    }
  }

 private:
  Service mService;
};

BOOL CALLBACK FindVisibleTooltip(HWND wnd, LPARAM found) {
  wchar_t name[64];
  if (IsWindowVisible(wnd) && GetClassNameW(wnd, name, 64) &&
      lstrcmpiW(name, L"tooltips_class32") == 0) {
    *reinterpret_cast<HWND*>(found) = wnd;
    return FALSE;
  }
  return TRUE;
}

// Reports once when a tooltip window of this thread is visible, with its text.
void ReportTooltip(int instance, HWND editor) {
  static bool reported = false;
  if (reported || !editor) return;
  HWND tip = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindVisibleTooltip, reinterpret_cast<LPARAM>(&tip));
  if (!tip) return;
  wchar_t text[128] = {};
  TTTOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = editor;
  info.uId = reinterpret_cast<UINT_PTR>(editor);
  info.lpszText = text;
  SendMessageW(tip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&info));
  char utf8[256] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  Report("tooltip %d shown [%s]", instance, utf8);
  reported = true;
}

AEffect* HarnessEntry(audioMasterCallback hostCallback) {
  auto* plug = new Rhythmoria(IPlugInstanceInfo{hostCallback});
  plug->FillEmptyPrograms("Empty", 64);
  const int instance = gInstanceCount++;
  gPlugs.push_back(plug);
  // The plug-in lays its pages out on Windows' window layer as it is built; the probes go on top.
  if (IGraphics* gui = plug->GetGUI()) {
    if (EditorPages* pages = plug->Pages()) pages->SwitchPage(gPreview.page);
    gui->AttachControl(std::make_unique<MenuProbe>(plug, Rect(20, 130, 150, 148), instance));
    gui->AttachControl(std::make_unique<TextProbe>(plug, Rect(20, 150, 150, 168), instance));
    gui->AttachControl(
        std::make_unique<TextProbe>(plug, Rect(20, 172, 150, 190), instance, kTempo));
    gui->AttachControl(std::make_unique<MessageProbe>(plug, Rect(730, 300, 790, 330), instance));
    // The services, in the empty margin left of the rhythm buttons.
    const ServiceProbe::Service services[] = {ServiceProbe::kFile, ServiceProbe::kColor,
                                              ServiceProbe::kWeb, ServiceProbe::kClipboard};
    for (int i = 0; i < 4; ++i) {
      gui->AttachControl(std::make_unique<ServiceProbe>(
          plug, Rect(20, 200 + 22 * i, 60, 218 + 22 * i), instance, services[i]));
    }
    const int tipped =
        gui->AttachControl(std::make_unique<Probe>(plug, Rect(20, 300, 60, 318), instance));
    if (auto* win = dynamic_cast<IGraphicsWin*>(gui)) {
      win->EnableTooltips(true);
      win->SetTooltip(tipped, "Probe tip");
    }
  }
  return plug->GetAEffect();
}

RECT EditorRect(vsthost::EditorFrameWin& frame) {
  RECT r{};
  if (HWND editor = GetWindow(static_cast<HWND>(frame.Handle()), GW_CHILD)) {
    GetWindowRect(editor, &r);
  }
  return r;
}

void ReportEditor(int i, vsthost::EditorFrameWin& frame) {
  const RECT r = EditorRect(frame);
  Report("editor %d %ld %ld %ld %ld", i, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void ReportParams(const char* label, int i, vsthost::PluginHost& host) {
  for (int p = 0; p < host.NumParams(); ++p) {
    Report("%s %d %d %.6f %s", label, i, p, host.GetParameter(p), host.ParamDisplay(p).c_str());
  }
}

bool ClassRegistered() {
  WNDCLASSW wc;
  return GetClassInfoW(GetModuleHandleW(nullptr), L"IPlugWndClass", &wc) != 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: editor-harness [--instances 1|2] [--seconds S] "
               "[--page main|settings|sequence] [--reopen-at S] [--close-at S] "
               "[--resize-at S] [--stop-file PATH] [--play]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int instances = 1;
  double seconds = 10.0, reopenAt = -1.0, closeAt = -1.0, resizeAt = -1.0;
  bool play = false;
  std::string stopFile;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--play") {
      play = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    if (arg == "--instances") {
      instances = std::atoi(value);
    } else if (arg == "--seconds") {
      seconds = std::atof(value);
    } else if (arg == "--reopen-at") {
      reopenAt = std::atof(value);
    } else if (arg == "--resize-at") {
      resizeAt = std::atof(value);
    } else if (arg == "--close-at") {
      closeAt = std::atof(value);
    } else if (arg == "--stop-file") {
      stopFile = value;
    } else if (arg == "--page") {
      if (!ParsePreviewPage(value, &gPreview.page)) return Usage();
    } else {
      return Usage();
    }
  }
  if (instances < 1 || instances > 2) return Usage();
  // Lines end in "\n" alone, as the scripts reading them expect.
  _setmode(_fileno(stdout), _O_BINARY);

  if (play) {
    std::string error;
    auto host = vsthost::PluginHost::Create(HarnessEntry, {}, &error);
    if (!host) {
      std::fprintf(stderr, "editor-harness: %s\n", error.c_str());
      return 1;
    }
    host->Start();
    vsthost::EditorWindowOptions options;
    options.play = true;
    options.seconds = seconds;
    if (!vsthost::RunEditorWindow(*host, options, &error)) {
      std::fprintf(stderr, "editor-harness: %s\n", error.c_str());
      return 1;
    }
    Report("played %lld", static_cast<long long>(host->Position()));
    Report("class end %s", ClassRegistered() ? "REGISTERED" : "GONE");
    Report("done");
    return 0;
  }

  std::vector<std::unique_ptr<vsthost::PluginHost>> hosts;
  std::vector<std::unique_ptr<vsthost::EditorFrameWin>> frames;
  for (int i = 0; i < instances; ++i) {
    std::string error;
    vsthost::HostSettings settings;
    settings.processLevel = kVstProcessLevelRealtime;
    auto host = vsthost::PluginHost::Create(HarnessEntry, settings, &error);
    if (!host) {
      std::fprintf(stderr, "editor-harness: %s\n", error.c_str());
      return 1;
    }
    host->Start();
    auto frame = std::make_unique<vsthost::EditorFrameWin>(*host);
    // Side by side, clear of each other, at places the tests can compute from the report.
    if (!frame->Open("Rhythmoria " + std::to_string(i + 1), 20, 20 + 460 * i, &error)) {
      std::fprintf(stderr, "editor-harness: %s\n", error.c_str());
      return 1;
    }
    hosts.push_back(std::move(host));
    frames.push_back(std::move(frame));
  }
  std::vector<vsthost::EditorFrameWin*> pumped;
  for (auto& frame : frames) pumped.push_back(frame.get());
  // Let the windows appear before telling where they are.
  vsthost::PumpEditorFrames(pumped, 0.3);
  for (int i = 0; i < instances; ++i) ReportParams("initial", i, *hosts[i]);
  for (int i = 0; i < instances; ++i) ReportEditor(i, *frames[i]);

  std::vector<std::vector<float>> last(static_cast<std::size_t>(instances));
  for (int i = 0; i < instances; ++i) {
    for (int p = 0; p < hosts[i]->NumParams(); ++p) last[i].push_back(hosts[i]->GetParameter(p));
  }
  vsthost::PumpEditorFrames(pumped, seconds, [&](double elapsed) {
    ReportTooltip(0, GetWindow(static_cast<HWND>(frames[0]->Handle()), GW_CHILD));
    for (int i = 0; i < instances; ++i) {
      for (int p = 0; p < hosts[i]->NumParams(); ++p) {
        const float value = hosts[i]->GetParameter(p);
        if (value == last[i][p]) continue;
        last[i][p] = value;
        Report("changed %d %d %.6f %s", i, p, value, hosts[i]->ParamDisplay(p).c_str());
      }
    }
    if (!stopFile.empty() && GetFileAttributesA(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
      for (auto& frame : frames) frame->Destroy();
      return;
    }
    if (reopenAt >= 0 && elapsed >= reopenAt && frames[0]->EditorIsOpen()) {
      reopenAt = -1.0;
      vsthost::EditorFrameWin& frame = *frames[0];
      // A host may open an open editor again: the window stays where it was.
      HWND editor = GetWindow(static_cast<HWND>(frame.Handle()), GW_CHILD);
      SetWindowPos(editor, nullptr, 7, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      const RECT before = EditorRect(frame);
      frame.Host().Dispatch(effEditOpen, 0, 0, frame.Handle());
      const RECT after = EditorRect(frame);
      const bool same = std::memcmp(&before, &after, sizeof before) == 0;
      SetWindowPos(GetWindow(static_cast<HWND>(frame.Handle()), GW_CHILD), nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
      frame.CloseEditor();
      const bool registered = ClassRegistered();
      const bool reopened = frame.OpenEditor();
      Report("reopen 0 %s class-after-close %s %s", same ? "SAME" : "MOVED",
             registered ? "REGISTERED" : "GONE", reopened ? "OPEN" : "FAILED");
      ReportEditor(0, frame);
    }
    if (resizeAt >= 0 && elapsed >= resizeAt && frames[0]->EditorIsOpen()) {
      resizeAt = -1.0;
      gPlugs[0]->GetGUI()->Resize(IGraphics::kDefaultWidth + 20, IGraphics::kDefaultHeight + 20);
      const RECT editor = EditorRect(*frames[0]);
      RECT inner;
      GetClientRect(static_cast<HWND>(frames[0]->Handle()), &inner);
      Report("resize 0 %ld %ld FRAME %ld %ld", editor.right - editor.left,
             editor.bottom - editor.top, inner.right, inner.bottom);
    }
    if (closeAt >= 0 && elapsed >= closeAt) {
      closeAt = -1.0;
      frames[0]->Destroy();
      Report("class 0 %s", ClassRegistered() ? "REGISTERED" : "GONE");
    }
  });

  for (int i = 0; i < instances; ++i) {
    ReportParams("param", i, *hosts[i]);
    for (int key : frames[i]->keysReceived) Report("key %d %d", i, key);
    frames[i]->Destroy();
  }
  Report("class end %s", ClassRegistered() ? "REGISTERED" : "GONE");
  frames.clear();
  hosts.clear();
  Report("done");
  return 0;
}
