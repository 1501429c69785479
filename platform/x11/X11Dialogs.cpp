// The editor's popup menus and message boxes on X11. X11 has no native widgets, so both are windows
// of our own drawn with the editor's text and fills, in the editor's dark panel colours. Each runs
// a modal loop on our connection with the editor's locks released (IGraphicsX11::RunModal) and ends
// early when the editor closes.
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor/FontCache.h"
#include "platform/x11/IGraphicsX11.h"
#include "platform/x11/X11Keysyms.h"

namespace {

using namespace x11keys;

constexpr LICE_pixel kPanel = LICE_RGBA(44, 46, 50, 255);
constexpr LICE_pixel kBorder = LICE_RGBA(120, 124, 130, 255);
constexpr LICE_pixel kInk = LICE_RGBA(232, 232, 232, 255);
constexpr LICE_pixel kGreyInk = LICE_RGBA(118, 120, 124, 255);
constexpr LICE_pixel kHighlight = LICE_RGBA(196, 72, 40, 255);
constexpr LICE_pixel kButton = LICE_RGBA(70, 73, 78, 255);
constexpr LICE_pixel kFieldBack = LICE_RGBA(250, 250, 250, 255);
constexpr LICE_pixel kFieldInk = LICE_RGBA(0, 0, 0, 255);

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 8;
constexpr int kCheckColumn = 20;
constexpr int kArrowColumn = 22;

const FontCacheEntry* UiFont() {
  static const TextStyle style("Verdana", 12, Color(255, 232, 232, 232), TextStyle::kNormal,
                               TextStyle::kAlignNear);
  const FontCacheEntry* font = FontCache::Instance().Find(style);
  return font && font->IsValid() ? font : nullptr;
}

int TextWidth(const std::string& text) {
  int w = 0;
  int h = 0;
  if (const FontCacheEntry* font = UiFont()) font->MeasureText(text, &w, &h);
  return w;
}

void Text(LICE_IBitmap* dest, const std::string& text, const Rect& r, LICE_pixel color,
          int align = LICE_DT_LEFT) {
  if (const FontCacheEntry* font = UiFont()) {
    font->DrawText(dest, text, r, color, align | LICE_DT_VCENTER);
  }
}

void Frame(LICE_IBitmap* dest, const Rect& r, LICE_pixel color) {
  LICE_FillRect(dest, r.L, r.T, r.W(), 1, color, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_FillRect(dest, r.L, r.B - 1, r.W(), 1, color, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_FillRect(dest, r.L, r.T, 1, r.H(), color, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_FillRect(dest, r.R - 1, r.T, 1, r.H(), color, 1.0f, LICE_BLIT_MODE_COPY);
}

// Waits for the next event of the connection, giving up every 50 ms to let the caller check
// whether the editor is closing. Null on timeout.
xcb_generic_event_t* WaitForEvent(xcb_connection_t* conn) {
  if (xcb_generic_event_t* e = xcb_poll_for_event(conn)) return e;
  pollfd fd = {xcb_get_file_descriptor(conn), POLLIN, 0};
  ::poll(&fd, 1, 50);
  return xcb_poll_for_event(conn);
}

// The root position of the editor window's point (x, y).
void ToRoot(IGraphicsX11& gui, int x, int y, int* rx, int* ry) {
  *rx = x;
  *ry = y;
  xcb_connection_t* c = gui.Connection();
  xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
      c,
      xcb_translate_coordinates(c, gui.EditorWindow(), gui.Screen()->root,
                                static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)),
      nullptr);
  if (t) {
    *rx = t->dst_x;
    *ry = t->dst_y;
    std::free(t);
  }
}

xcb_window_t MakeWindow(IGraphicsX11& gui, const Rect& r, bool overrideRedirect) {
  xcb_connection_t* c = gui.Connection();
  const xcb_window_t w = xcb_generate_id(c);
  const std::uint32_t values[] = {gui.Screen()->black_pixel, overrideRedirect ? 1u : 0u,
                                  XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                      XCB_EVENT_MASK_BUTTON_RELEASE |
                                      XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS |
                                      XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, w, gui.Screen()->root, static_cast<std::int16_t>(r.L),
                    static_cast<std::int16_t>(r.T), static_cast<std::uint16_t>(r.W()),
                    static_cast<std::uint16_t>(r.H()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    gui.Screen()->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
  return w;
}

// ---- Popup menu ----

struct MenuLevel {
  PopupMenu* menu = nullptr;
  xcb_window_t window = 0;
  Rect place;  // root coordinates
  std::vector<Rect> items;
  int hover = -1;
  LICE_MemBitmap bitmap;
};

class MenuRun {
 public:
  explicit MenuRun(IGraphicsX11& gui) : mGui(gui), mConn(gui.Connection()) {}
  ~MenuRun() {
    while (!mLevels.empty()) CloseLevel();
    xcb_ungrab_pointer(mConn, XCB_CURRENT_TIME);
    xcb_ungrab_keyboard(mConn, XCB_CURRENT_TIME);
    xcb_flush(mConn);
  }

  PopupMenu* Run(PopupMenu* menu, int rootX, int rootY) {
    OpenLevel(menu, rootX, rootY);
    const xcb_window_t first = mLevels.front()->window;
    // The press that opened the menu still holds the server's grab for the editor: take it over so
    // every click, also outside, comes to the menu.
    for (int attempt = 0; attempt < 20; ++attempt) {
      xcb_grab_pointer_reply_t* g = xcb_grab_pointer_reply(
          mConn,
          xcb_grab_pointer(mConn, 1, first,
                           XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                               XCB_EVENT_MASK_POINTER_MOTION,
                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                           XCB_CURRENT_TIME),
          nullptr);
      const bool ok = g && g->status == XCB_GRAB_STATUS_SUCCESS;
      std::free(g);
      if (ok) break;
      ::poll(nullptr, 0, 10);
    }
    std::free(xcb_grab_keyboard_reply(mConn,
                                      xcb_grab_keyboard(mConn, 1, first, XCB_CURRENT_TIME,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                      nullptr));
    xcb_flush(mConn);
    while (!mDone && !mGui.ModalShouldEnd()) {
      xcb_generic_event_t* e = WaitForEvent(mConn);
      if (!e) continue;
      Handle(e);
      std::free(e);
      xcb_flush(mConn);
    }
    return mChosen;
  }

 private:
  void OpenLevel(PopupMenu* menu, int x, int y) {
    auto level = std::make_unique<MenuLevel>();
    level->menu = menu;
    int width = 60;
    for (int i = 0; i < menu->NItems(); ++i) {
      width = std::max(width, TextWidth(menu->ItemLabel(i)) + kCheckColumn + kArrowColumn + 8);
    }
    int top = 2;
    for (int i = 0; i < menu->NItems(); ++i) {
      const int h = menu->GetItem(i)->IsSeparator() ? kSeparatorHeight : kItemHeight;
      level->items.emplace_back(2, top, width - 2, top + h);
      top += h;
    }
    const int height = top + 2;
    // Kept on the screen, opening up or to the left when there is no room.
    const int screenW = mGui.Screen()->width_in_pixels;
    const int screenH = mGui.Screen()->height_in_pixels;
    if (x + width > screenW) x = std::max(0, screenW - width);
    if (y + height > screenH) y = std::max(0, screenH - height);
    level->place = Rect(x, y, x + width, y + height);
    level->window = MakeWindow(mGui, level->place, true);
    level->bitmap.resize(width, height);
    xcb_map_window(mConn, level->window);
    mLevels.push_back(std::move(level));
    Paint(*mLevels.back());
  }

  void CloseLevel() {
    xcb_destroy_window(mConn, mLevels.back()->window);
    mLevels.pop_back();
  }

  void Paint(MenuLevel& level) {
    LICE_Clear(&level.bitmap, kPanel);
    Frame(&level.bitmap, Rect(0, 0, level.place.W(), level.place.H()), kBorder);
    for (int i = 0; i < level.menu->NItems(); ++i) {
      const PopupMenuItem* item = level.menu->GetItem(i);
      const Rect& r = level.items[static_cast<std::size_t>(i)];
      if (item->IsSeparator()) {
        LICE_FillRect(&level.bitmap, r.L + 4, r.T + r.H() / 2, r.W() - 8, 1, kBorder, 1.0f,
                      LICE_BLIT_MODE_COPY);
        continue;
      }
      if (i == level.hover && item->IsEnabled()) {
        LICE_FillRect(&level.bitmap, r.L, r.T, r.W(), r.H(), kHighlight, 1.0f, LICE_BLIT_MODE_COPY);
      }
      const LICE_pixel ink = item->IsEnabled() ? kInk : kGreyInk;
      if (item->IsChecked()) {
        LICE_FillRect(&level.bitmap, r.L + 7, r.T + r.H() / 2 - 3, 7, 7, ink, 1.0f,
                      LICE_BLIT_MODE_COPY);
      }
      Text(&level.bitmap, level.menu->ItemLabel(i),
           Rect(r.L + kCheckColumn, r.T, r.R - kArrowColumn, r.B), ink);
      if (item->GetSubmenu()) {
        Text(&level.bitmap, ">", Rect(r.R - kArrowColumn, r.T, r.R - 6, r.B), ink, LICE_DT_RIGHT);
      }
    }
    mGui.PutImage(level.window, level.bitmap, Rect(0, 0, level.place.W(), level.place.H()), 0, 0);
  }

  // The deepest level and item under a root point; the level is -1 outside every menu.
  void Find(int x, int y, int* levelIdx, int* itemIdx) const {
    *levelIdx = -1;
    *itemIdx = -1;
    for (int l = static_cast<int>(mLevels.size()) - 1; l >= 0; --l) {
      const MenuLevel& level = *mLevels[static_cast<std::size_t>(l)];
      if (!level.place.Contains(x, y)) continue;
      *levelIdx = l;
      for (int i = 0; i < static_cast<int>(level.items.size()); ++i) {
        if (level.items[static_cast<std::size_t>(i)].Contains(x - level.place.L,
                                                              y - level.place.T)) {
          *itemIdx = i;
        }
      }
      return;
    }
  }

  void Hover(int l, int i) {
    while (static_cast<int>(mLevels.size()) > l + 1) {
      const MenuLevel& child = *mLevels.back();
      MenuLevel& parent = *mLevels[mLevels.size() - 2];
      // The sub-menu that is open stays open while its own entry is hovered.
      if (static_cast<int>(mLevels.size()) == l + 2 && parent.hover == i && i >= 0 &&
          parent.menu->GetItem(i)->GetSubmenu() == child.menu) {
        return;
      }
      CloseLevel();
    }
    MenuLevel& level = *mLevels[static_cast<std::size_t>(l)];
    if (level.hover != i) {
      level.hover = i;
      Paint(level);
    }
    if (i < 0) return;
    const PopupMenuItem* item = level.menu->GetItem(i);
    if (item->GetSubmenu() && item->IsEnabled() && item->GetSubmenu()->NItems() > 0) {
      const Rect& r = level.items[static_cast<std::size_t>(i)];
      OpenLevel(item->GetSubmenu(), level.place.R - 2, level.place.T + r.T - 2);
    }
  }

  bool Choose(int l, int i) {
    if (l < 0 || i < 0) return false;
    MenuLevel& level = *mLevels[static_cast<std::size_t>(l)];
    const PopupMenuItem* item = level.menu->GetItem(i);
    if (item->IsSeparator() || item->GetSubmenu() || !item->IsEnabled()) return false;
    level.menu->SetChosenItemIdx(i);
    mChosen = level.menu;
    mDone = true;
    return true;
  }

  void Handle(xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
      case XCB_EXPOSE: {
        const auto* e = reinterpret_cast<xcb_expose_event_t*>(event);
        for (auto& level : mLevels) {
          if (level->window == e->window) Paint(*level);
        }
        break;
      }
      case XCB_MOTION_NOTIFY: {
        const auto* e = reinterpret_cast<xcb_motion_notify_event_t*>(event);
        int l = 0;
        int i = 0;
        Find(e->root_x, e->root_y, &l, &i);
        if (l >= 0) Hover(l, i);
        break;
      }
      case XCB_BUTTON_PRESS: {
        const auto* e = reinterpret_cast<xcb_button_press_event_t*>(event);
        int l = 0;
        int i = 0;
        Find(e->root_x, e->root_y, &l, &i);
        if (l < 0) mDone = true;  // a click outside every menu dismisses it
        mPressedInside = l >= 0;
        break;
      }
      case XCB_BUTTON_RELEASE: {
        const auto* e = reinterpret_cast<xcb_button_press_event_t*>(event);
        if (e->detail > 3) break;
        int l = 0;
        int i = 0;
        Find(e->root_x, e->root_y, &l, &i);
        Choose(l, i);
        break;
      }
      case XCB_KEY_PRESS: {
        const auto* e = reinterpret_cast<xcb_key_press_event_t*>(event);
        const std::uint32_t sym = mGui.KeySym(e->detail, false);
        MenuLevel& level = *mLevels.back();
        if (sym == kXkEscape) {
          if (mLevels.size() > 1) {
            CloseLevel();
          } else {
            mDone = true;
          }
        } else if (sym == kXkReturn || sym == kXkKpEnter) {
          if (!Choose(static_cast<int>(mLevels.size()) - 1, level.hover) && level.hover >= 0) {
            Hover(static_cast<int>(mLevels.size()) - 1, level.hover);
          }
        } else if (sym == kXkDown || sym == kXkUp) {
          const int n = level.menu->NItems();
          int i = level.hover;
          for (int step = 0; step < n; ++step) {
            i = ((sym == kXkDown ? i + 1 : i - 1) + n) % n;
            if (!level.menu->GetItem(i)->IsSeparator()) break;
          }
          level.hover = i;
          Paint(level);
        }
        break;
      }
      default:
        break;
    }
  }

  IGraphicsX11& mGui;
  xcb_connection_t* mConn;
  std::vector<std::unique_ptr<MenuLevel>> mLevels;
  PopupMenu* mChosen = nullptr;
  bool mDone = false;
  bool mPressedInside = false;
};

// ---- Message box (and the built-in file name and colour prompts) ----

// The built-in colour prompt's swatches: the editor's own colours first, then a plain range.
constexpr LICE_pixel kSwatches[] = {
    LICE_RGBA(196, 72, 40, 255),   LICE_RGBA(232, 160, 48, 255),  LICE_RGBA(236, 220, 80, 255),
    LICE_RGBA(120, 196, 72, 255),  LICE_RGBA(56, 168, 160, 255),  LICE_RGBA(64, 120, 208, 255),
    LICE_RGBA(128, 80, 192, 255),  LICE_RGBA(208, 88, 160, 255),  LICE_RGBA(0, 0, 0, 255),
    LICE_RGBA(64, 64, 64, 255),    LICE_RGBA(128, 128, 128, 255), LICE_RGBA(192, 192, 192, 255),
    LICE_RGBA(255, 255, 255, 255), LICE_RGBA(255, 0, 0, 255),     LICE_RGBA(0, 255, 0, 255),
    LICE_RGBA(0, 0, 255, 255)};
constexpr int kSwatchCount = static_cast<int>(sizeof kSwatches / sizeof kSwatches[0]);
constexpr int kSwatchSize = 22;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct DialogButton {
  const char* label;
  int answer;
  Rect rect;
};

class DialogRun {
 public:
  // With a field, the user types an answer into it; in colour mode the field holds six hex digits
  // ("RRGGBB"), shown with a swatch of the colour and a row of swatches to pick from.
  DialogRun(IGraphicsX11& gui, std::string text, std::string caption, int type, std::string* field,
            bool colorMode = false)
      : mGui(gui),
        mConn(gui.Connection()),
        mText(std::move(text)),
        mCaption(std::move(caption)),
        mField(field),
        mColorMode(colorMode && field) {
    switch (type & 0xf) {
      case IGraphicsX11::kMbOkCancel:
        mButtons = {{"OK", IGraphicsX11::kIdOk, {}}, {"Cancel", IGraphicsX11::kIdCancel, {}}};
        mEscape = IGraphicsX11::kIdCancel;
        break;
      case IGraphicsX11::kMbYesNoCancel:
        mButtons = {{"Yes", IGraphicsX11::kIdYes, {}},
                    {"No", IGraphicsX11::kIdNo, {}},
                    {"Cancel", IGraphicsX11::kIdCancel, {}}};
        mEscape = IGraphicsX11::kIdCancel;
        break;
      case IGraphicsX11::kMbYesNo:
        mButtons = {{"Yes", IGraphicsX11::kIdYes, {}}, {"No", IGraphicsX11::kIdNo, {}}};
        mEscape = IGraphicsX11::kIdNo;
        break;
      default:
        mButtons = {{"OK", IGraphicsX11::kIdOk, {}}};
        mEscape = IGraphicsX11::kIdOk;
        break;
    }
  }

  ~DialogRun() {
    if (mWindow) xcb_destroy_window(mConn, mWindow);
    xcb_flush(mConn);
  }

  int Run(xcb_window_t owner) {
    Layout();
    int ex = 0;
    int ey = 0;
    ToRoot(mGui, mGui.Width() / 2, mGui.Height() / 2, &ex, &ey);
    const int x = std::max(0, ex - mSize.W() / 2);
    const int y = std::max(0, ey - mSize.H() / 2);
    mWindow = MakeWindow(mGui, Rect(x, y, x + mSize.W(), y + mSize.H()), false);
    xcb_change_property(mConn, XCB_PROP_MODE_REPLACE, mWindow, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(mCaption.size()), mCaption.data());
    if (owner) {
      xcb_change_property(mConn, XCB_PROP_MODE_REPLACE, mWindow, XCB_ATOM_WM_TRANSIENT_FOR,
                          XCB_ATOM_WINDOW, 32, 1, &owner);
    }
    const xcb_atom_t type = mGui.Atom("_NET_WM_WINDOW_TYPE");
    const xcb_atom_t dialog = mGui.Atom("_NET_WM_WINDOW_TYPE_DIALOG");
    xcb_change_property(mConn, XCB_PROP_MODE_REPLACE, mWindow, type, XCB_ATOM_ATOM, 32, 1, &dialog);
    const xcb_atom_t deleteWindow = mGui.Atom("WM_DELETE_WINDOW");
    xcb_change_property(mConn, XCB_PROP_MODE_REPLACE, mWindow, mGui.Atom("WM_PROTOCOLS"),
                        XCB_ATOM_ATOM, 32, 1, &deleteWindow);
    xcb_map_window(mConn, mWindow);
    xcb_flush(mConn);
    bool focused = false;
    while (!mDone && !mGui.ModalShouldEnd()) {
      xcb_generic_event_t* e = WaitForEvent(mConn);
      if (!e) continue;
      const int kind = e->response_type & 0x7f;
      if (kind == XCB_MAP_NOTIFY && !focused) {
        xcb_set_input_focus(mConn, XCB_INPUT_FOCUS_PARENT, mWindow, XCB_CURRENT_TIME);
        focused = true;
      } else if (kind == XCB_EXPOSE) {
        Paint();
      } else if (kind == XCB_BUTTON_RELEASE) {
        const auto* b = reinterpret_cast<xcb_button_press_event_t*>(e);
        for (const DialogButton& button : mButtons) {
          if (b->event == mWindow && button.rect.Contains(b->event_x, b->event_y)) {
            Answer(button.answer);
          }
        }
        for (int i = 0; mColorMode && i < kSwatchCount; ++i) {
          if (b->event == mWindow && SwatchRect(i).Contains(b->event_x, b->event_y)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%02X%02X%02X", LICE_GETR(kSwatches[i]),
                          LICE_GETG(kSwatches[i]), LICE_GETB(kSwatches[i]));
            *mField = hex;
            Paint();
          }
        }
      } else if (kind == XCB_KEY_PRESS) {
        Key(reinterpret_cast<xcb_key_press_event_t*>(e));
      } else if (kind == XCB_CLIENT_MESSAGE) {
        const auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
        if (m->window == mWindow && m->data.data32[0] == deleteWindow) Answer(mEscape);
      }
      std::free(e);
      xcb_flush(mConn);
    }
    return mDone ? mAnswer : mEscape;
  }

 private:
  void Layout() {
    // Words wrapped to a comfortable width; explicit line breaks kept.
    constexpr int kWrap = 380;
    std::size_t start = 0;
    while (start <= mText.size()) {
      std::size_t end = mText.find('\n', start);
      if (end == std::string::npos) end = mText.size();
      std::string line;
      std::size_t p = start;
      while (p < end) {
        std::size_t space = mText.find(' ', p);
        if (space == std::string::npos || space > end) space = end;
        const std::string word = mText.substr(p, space - p);
        const std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && TextWidth(candidate) > kWrap) {
          mLines.push_back(line);
          line = word;
        } else {
          line = candidate;
        }
        p = space + 1;
      }
      mLines.push_back(line);
      start = end + 1;
    }
    int width = 0;
    for (const std::string& line : mLines) width = std::max(width, TextWidth(line));
    const int buttonsWidth = static_cast<int>(mButtons.size()) * 88;
    width = std::max({width + 40, buttonsWidth + 24, mField ? 420 : 200});
    int y = 16 + static_cast<int>(mLines.size()) * 18;
    if (mColorMode) {
      width = std::max(width, 20 + kSwatchCount / 2 * (kSwatchSize + 4) + 16);
      mSwatchTop = y + 8;
      y = mSwatchTop + 2 * (kSwatchSize + 4);
      mFieldRect = Rect(20, y + 8, 120, y + 32);
      mPreviewRect = Rect(132, y + 8, 196, y + 32);
      y = mFieldRect.B;
    } else if (mField) {
      mFieldRect = Rect(20, y + 8, width - 20, y + 32);
      y = mFieldRect.B;
    }
    const int top = y + 16;
    int x = width - 12 - buttonsWidth;
    for (DialogButton& button : mButtons) {
      button.rect = Rect(x + 8, top, x + 88, top + 26);
      x += 88;
    }
    mSize = Rect(0, 0, width, top + 26 + 14);
    mBitmap.resize(mSize.W(), mSize.H());
  }

  void Paint() {
    LICE_Clear(&mBitmap, kPanel);
    Frame(&mBitmap, mSize, kBorder);
    int y = 16;
    for (const std::string& line : mLines) {
      Text(&mBitmap, line, Rect(20, y, mSize.W() - 20, y + 18), kInk);
      y += 18;
    }
    if (mField) {
      LICE_FillRect(&mBitmap, mFieldRect.L, mFieldRect.T, mFieldRect.W(), mFieldRect.H(),
                    kFieldBack, 1.0f, LICE_BLIT_MODE_COPY);
      Text(&mBitmap, mColorMode ? "#" + *mField : *mField,
           Rect(mFieldRect.L + 4, mFieldRect.T, mFieldRect.R - 4, mFieldRect.B), kFieldInk);
    }
    if (mColorMode) {
      for (int i = 0; i < kSwatchCount; ++i) {
        const Rect r = SwatchRect(i);
        Frame(&mBitmap, r, kBorder);
        LICE_FillRect(&mBitmap, r.L + 1, r.T + 1, r.W() - 2, r.H() - 2, kSwatches[i], 1.0f,
                      LICE_BLIT_MODE_COPY);
      }
      Frame(&mBitmap, mPreviewRect, kBorder);
      int rgb = 0;
      if (ParseColor(&rgb)) {
        LICE_FillRect(&mBitmap, mPreviewRect.L + 1, mPreviewRect.T + 1, mPreviewRect.W() - 2,
                      mPreviewRect.H() - 2,
                      LICE_RGBA((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff, 255), 1.0f,
                      LICE_BLIT_MODE_COPY);
      }
    }
    for (std::size_t i = 0; i < mButtons.size(); ++i) {
      const Rect& r = mButtons[i].rect;
      LICE_FillRect(&mBitmap, r.L, r.T, r.W(), r.H(), i == 0 ? kHighlight : kButton, 1.0f,
                    LICE_BLIT_MODE_COPY);
      Text(&mBitmap, mButtons[i].label, r, kInk, LICE_DT_CENTER);
    }
    mGui.PutImage(mWindow, mBitmap, mSize, 0, 0);
  }

  void Key(const xcb_key_press_event_t* e) {
    const bool shifted = (e->state & XCB_MOD_MASK_SHIFT) != 0;
    const std::uint32_t sym = mGui.KeySym(e->detail, shifted);
    if (sym == kXkReturn || sym == kXkKpEnter) {
      // A colour is answered only once it is whole.
      int rgb = 0;
      if (!mColorMode || ParseColor(&rgb)) Answer(mButtons.front().answer);
    } else if (sym == kXkEscape) {
      Answer(mEscape);
    } else if (mField && sym == kXkBackSpace) {
      if (!mField->empty()) mField->pop_back();
      Paint();
    } else if (mColorMode) {
      if (sym < 0x7f && HexDigit(static_cast<char>(sym)) >= 0 && mField->size() < 6) {
        mField->push_back(static_cast<char>(std::toupper(static_cast<int>(sym))));
        Paint();
      }
    } else if (mField && sym >= 0x20 && sym < 0x7f && mField->size() < 255) {
      mField->push_back(static_cast<char>(sym));
      Paint();
    } else if (!mField && sym < 0x7f) {
      // The first letter of a button answers with it (y, n, o, c), as dialogs let you.
      for (const DialogButton& button : mButtons) {
        if (std::tolower(static_cast<unsigned char>(button.label[0])) == static_cast<int>(sym)) {
          Answer(button.answer);
        }
      }
    }
  }

  Rect SwatchRect(int i) const {
    const int perRow = kSwatchCount / 2;
    const int x = 20 + (i % perRow) * (kSwatchSize + 4);
    const int y = mSwatchTop + (i / perRow) * (kSwatchSize + 4);
    return Rect(x, y, x + kSwatchSize, y + kSwatchSize);
  }

 public:
  // The field's six hex digits as 0xRRGGBB.
  bool ParseColor(int* rgb) const {
    if (!mField || mField->size() != 6) return false;
    int value = 0;
    for (char c : *mField) {
      const int digit = HexDigit(c);
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    *rgb = value;
    return true;
  }

 private:
  void Answer(int answer) {
    if (mDone) return;
    mAnswer = answer;
    mDone = true;
  }

  IGraphicsX11& mGui;
  xcb_connection_t* mConn;
  std::string mText;
  std::string mCaption;
  std::string* mField;
  bool mColorMode;
  int mSwatchTop = 0;
  Rect mPreviewRect;
  std::vector<DialogButton> mButtons;
  int mEscape = IGraphicsX11::kIdCancel;
  std::vector<std::string> mLines;
  Rect mFieldRect;
  Rect mSize;
  LICE_MemBitmap mBitmap;
  xcb_window_t mWindow = 0;
  bool mDone = false;
  int mAnswer = 0;
};

}  // namespace

PopupMenu* IGraphicsX11::ShowPopupMenu(PopupMenu* menu, const Rect& rect) {
  ReleaseMouseCapture();
  if (!menu) return nullptr;
  menu->ClearChoice();
  if (!mWindow || menu->NItems() == 0) return nullptr;
  // The press that opened the menu ends inside it; the editor must not see its release.
  mButtonsHeld = 0;
  int x = 0;
  int y = 0;
  ToRoot(*this, rect.L, rect.B, &x, &y);
  PopupMenu* chosen = nullptr;
  RunModal([&] {
    MenuRun run(*this);
    chosen = run.Run(menu, x, y);
  });
  if (mWindow) InvalidateRect(Rect(0, 0, Width(), Height()));
  return chosen;
}

int IGraphicsX11::ShowMessageBox(const char* text, const char* caption, int type) {
  if (!mConn || !mWindow) return kIdCancel;
  const xcb_window_t owner = HostTopLevel();
  int answer = kIdCancel;
  RunModal([&] {
    DialogRun run(*this, text ? text : "", caption ? caption : "", type, nullptr);
    answer = run.Run(owner);
  });
  mButtonsHeld = 0;
  return answer;
}

// The chooser of last resort: the user types the path.
bool AskForPathBuiltIn(IGraphicsX11& gui, const std::string& prompt, std::string* path) {
  if (!gui.Connection() || !gui.EditorWindow()) return false;
  int answer = IGraphicsX11::kIdCancel;
  gui.RunModal([&] {
    DialogRun run(gui, prompt, "File", IGraphicsX11::kMbOkCancel, path);
    answer = run.Run(0);
  });
  return answer == IGraphicsX11::kIdOk && !path->empty();
}

// The colour chooser of last resort, in the editor's style.
bool AskForColorBuiltIn(IGraphicsX11& gui, const std::string& title, Color* color) {
  if (!gui.Connection() || !gui.EditorWindow()) return false;
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X%02X%02X", color->R & 0xff, color->G & 0xff, color->B & 0xff);
  std::string field = hex;
  int answer = IGraphicsX11::kIdCancel;
  int rgb = 0;
  bool whole = false;
  const xcb_window_t owner = gui.HostTopLevel();
  gui.RunModal([&] {
    DialogRun run(gui, "Pick a colour or type its hex code:", title.empty() ? "Colour" : title,
                  IGraphicsX11::kMbOkCancel, &field, true);
    answer = run.Run(owner);
    whole = run.ParseColor(&rgb);
  });
  if (answer != IGraphicsX11::kIdOk || !whole) return false;
  color->R = (rgb >> 16) & 0xff;
  color->G = (rgb >> 8) & 0xff;
  color->B = rgb & 0xff;
  return true;
}
