#include "platform/x11/IGraphicsX11.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "editor/FontCache.h"
#include "framework/IParameter.h"
#include "framework/IPlugBase.h"
#include "platform/x11/X11Keysyms.h"

namespace {

using namespace x11keys;

using Clock = std::chrono::steady_clock;

// Button numbers and state bits of the core protocol.
constexpr int kWheelUp = 4;
constexpr int kWheelDown = 5;

// The characters a text box bound to a parameter of that type accepts.
bool EntryAccepts(const IParameter* param, char c) {
  if (!param) return c >= 0x20 && c < 0x7f;
  if (c >= '0' && c <= '9') return true;
  if (c == '+' || c == '-') return true;
  return c == '.' && param->Type() == ParamTypeDouble;
}

MouseModifiers ModifiersFrom(std::uint16_t state) {
  MouseModifiers mod;
  mod.L = (state & XCB_BUTTON_MASK_1) != 0;
  mod.R = (state & XCB_BUTTON_MASK_3) != 0;
  mod.S = (state & XCB_MOD_MASK_SHIFT) != 0;
  mod.C = (state & XCB_MOD_MASK_CONTROL) != 0;
  mod.A = (state & XCB_MOD_MASK_1) != 0;
  return mod;
}

// The key code of HandleKeyDown for a keysym, or -1 for keys the editor does not take.
int TranslateKey(std::uint32_t keysym) {
  switch (keysym) {
    case kXkSpace:
      return IGraphics::kKeySpace;
    case kXkUp:
      return IGraphics::kKeyUp;
    case kXkDown:
      return IGraphics::kKeyDown;
    case kXkLeft:
      return IGraphics::kKeyLeft;
    case kXkRight:
      return IGraphics::kKeyRight;
    default:
      break;
  }
  if (keysym >= '0' && keysym <= '9') return IGraphics::kKeyDigit0 + static_cast<int>(keysym - '0');
  if (keysym >= 'a' && keysym <= 'z')
    return IGraphics::kKeyLetterA + static_cast<int>(keysym - 'a');
  if (keysym >= 'A' && keysym <= 'Z')
    return IGraphics::kKeyLetterA + static_cast<int>(keysym - 'A');
  return -1;
}

}  // namespace

IGraphicsX11::IGraphicsX11(IPlugBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps) {}

IGraphicsX11::~IGraphicsX11() {
  CloseEditorWindow();
  StopPump();
  for (xcb_generic_event_t* e : mDeferred) std::free(e);
  mShared.Close(mConn);
  if (mConn) xcb_disconnect(mConn);
}

// ---- Connection and the thread that reads it ----

bool IGraphicsX11::Connect() {
  if (mConn) return true;
  int screenNumber = 0;
  xcb_connection_t* conn = xcb_connect(nullptr, &screenNumber);
  if (!conn || xcb_connection_has_error(conn)) {
    if (conn) xcb_disconnect(conn);
    return false;
  }
  const xcb_setup_t* setup = xcb_get_setup(conn);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  if (!it.rem || it.data->root_depth < 24) {
    // Our painting writes 32-bit pixels for a 24-bit true-colour visual, which every current
    // server offers; anything else gets no editor rather than garbage.
    xcb_disconnect(conn);
    return false;
  }
  mConn = conn;
  mScreen = it.data;
  mMaxRequestBytes = xcb_get_maximum_request_length(mConn) * 4;
  LoadKeyboardMapping();
  if (::pipe2(mWake, O_CLOEXEC | O_NONBLOCK) != 0) mWake[0] = mWake[1] = -1;
  return true;
}

void IGraphicsX11::LoadKeyboardMapping() {
  const xcb_setup_t* setup = xcb_get_setup(mConn);
  mMinKeycode = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
      mConn, xcb_get_keyboard_mapping(mConn, setup->min_keycode, static_cast<std::uint8_t>(count)),
      nullptr);
  if (!reply) return;
  mKeysymsPerCode = reply->keysyms_per_keycode;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
  mKeysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply));
  std::free(reply);
}

std::uint32_t IGraphicsX11::KeySym(xcb_keycode_t code, bool shifted) const {
  const int row = code - mMinKeycode;
  if (row < 0 || mKeysymsPerCode <= 0) return 0;
  const std::size_t base =
      static_cast<std::size_t>(row) * static_cast<std::size_t>(mKeysymsPerCode);
  if (base >= mKeysyms.size()) return 0;
  std::uint32_t sym = mKeysyms[base];
  if (shifted && mKeysymsPerCode > 1 && base + 1 < mKeysyms.size() && mKeysyms[base + 1] != 0) {
    sym = mKeysyms[base + 1];
  }
  return sym;
}

xcb_atom_t IGraphicsX11::Atom(const char* name) {
  for (const auto& [n, atom] : mAtoms) {
    if (n == name) return atom;
  }
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      mConn, xcb_intern_atom(mConn, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr);
  const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(reply);
  mAtoms.emplace_back(name, atom);
  return atom;
}

void IGraphicsX11::StartPump() {
  if (mPump.joinable()) return;
  mStop = false;
  mPump = std::thread([this] {
    mPumpId = std::this_thread::get_id();
    PumpLoop();
  });
}

void IGraphicsX11::StopPump() {
  if (!mPump.joinable()) return;
  mStop = true;
  if (mWake[1] >= 0) (void)!::write(mWake[1], "x", 1);
  mPump.join();
  if (mWake[0] >= 0) ::close(mWake[0]);
  if (mWake[1] >= 0) ::close(mWake[1]);
  mWake[0] = mWake[1] = -1;
}

void IGraphicsX11::PumpLoop() {
  const int period = std::max(1, 1000 / std::max(FPS(), 1));
  bool retry = false;
  while (!mStop) {
    pollfd fds[2] = {{xcb_get_file_descriptor(mConn), POLLIN, 0}, {mWake[0], POLLIN, 0}};
    // A lock we could not take is tried again soon; otherwise we sleep until the next tick.
    ::poll(fds, mWake[0] >= 0 ? 2 : 1, retry ? 2 : period);
    if (fds[1].revents & POLLIN) {
      char drain[16];
      while (::read(mWake[0], drain, sizeof drain) > 0) {
      }
    }
    if (mStop) break;
    if (xcb_connection_has_error(mConn)) {
      // The server went away: nothing more can be shown, and nothing may spin.
      std::this_thread::sleep_for(std::chrono::milliseconds(period));
      continue;
    }
    std::unique_lock<IPlugBase::Mutex> plugLock;
    if (mPlug) {
      plugLock = std::unique_lock<IPlugBase::Mutex>(mPlug->GetMutex(), std::try_to_lock);
      if (!plugLock.owns_lock()) {
        retry = true;
        continue;
      }
    }
    std::unique_lock<std::recursive_mutex> lock(mLock, std::try_to_lock);
    if (!lock.owns_lock()) {
      retry = true;
      continue;
    }
    retry = false;
    mPumpHoldsLocks = true;
    Pump();
    mPumpHoldsLocks = false;
  }
}

void IGraphicsX11::Pump() {
  while (!mDeferred.empty()) {
    xcb_generic_event_t* e = mDeferred.front();
    mDeferred.pop_front();
    if (mWindow) HandleEvent(e);
    std::free(e);
  }
  while (xcb_generic_event_t* e = xcb_poll_for_event(mConn)) {
    if (mWindow) HandleEvent(e);
    std::free(e);
  }
  if (mWindow && Clock::now() >= mNextTick) Tick();
  xcb_flush(mConn);
}

void IGraphicsX11::HostIdleTick() {
  // The host holds the plug-in's mutex; the editor may be busy on our thread or in a menu.
  if (mModalDepth > 0) return;
  std::unique_lock<std::recursive_mutex> lock(mLock, std::try_to_lock);
  if (!lock.owns_lock() || !mWindow) return;
  if (Clock::now() >= mNextTick) {
    Tick();
    xcb_flush(mConn);
  }
}

void IGraphicsX11::RunModal(const std::function<void()>& wait) {
  const bool ours = std::this_thread::get_id() == mPumpId && mPumpHoldsLocks;
  ++mModalDepth;
  if (ours) {
    mPumpHoldsLocks = false;
    mLock.unlock();
    if (mPlug) mPlug->GetMutex().unlock();
  }
  wait();
  if (ours) {
    // Taken back in the order every editor thread uses; we hold nothing, so waiting is safe.
    if (mPlug) mPlug->GetMutex().lock();
    mLock.lock();
    mPumpHoldsLocks = true;
  }
  // Clicks in the modal window came between: the next press starts a new pair.
  mLastPressX = mLastPressY = -1000;
  --mModalDepth;
}

bool IGraphicsX11::ModalShouldEnd() const {
  return mStop || mClosing || !mConn || xcb_connection_has_error(mConn);
}

// ---- The window ----

void* IGraphicsX11::OpenEditorWindow(void* parent) {
  std::unique_lock<IPlugBase::Mutex> plugLock;
  if (mPlug) plugLock = std::unique_lock<IPlugBase::Mutex>(mPlug->GetMutex());
  std::lock_guard<std::recursive_mutex> lock(mLock);
  int x = 0;
  int y = 0;
  if (mWindow) {
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(mConn, xcb_get_geometry(mConn, mWindow), nullptr);
    if (geometry) {
      x = geometry->x;
      y = geometry->y;
      std::free(geometry);
    }
    CloseEditorWindow();
  }
  if (!Connect()) return nullptr;
  mParent =
      parent ? static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(parent)) : mScreen->root;
  const xcb_window_t window = xcb_generate_id(mConn);
  const std::uint32_t values[] = {
      mScreen->black_pixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                                XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW |
                                XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_void_cookie_t made = xcb_create_window_checked(
      mConn, XCB_COPY_FROM_PARENT, window, mParent, static_cast<std::int16_t>(x),
      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(Width()),
      static_cast<std::uint16_t>(Height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, mScreen->root_visual,
      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  if (xcb_generic_error_t* error = xcb_request_check(mConn, made)) {
    // Most often a parent that is not a window of this display.
    std::free(error);
    return nullptr;
  }
  static const char kTitle[] = "IPlug";
  xcb_change_property(mConn, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      sizeof kTitle - 1, kTitle);
  mGc = xcb_generate_id(mConn);
  xcb_create_gc(mConn, mGc, window, 0, nullptr);
  if (!mSharedTried) {
    // Once per connection: a server that cannot share memory with us will not start to.
    mSharedTried = true;
    mShared.Open(mConn, EditorBytes());
  }
  xcb_map_window(mConn, window);
  xcb_flush(mConn);
  mWindow = window;
  mClosing = false;
  mButtonsHeld = 0;
  mInvalid = Rect();
  mNextTick = Clock::now();
  ApplyParameterValues();
  SetAllControlsDirty();
  StartPump();
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(mWindow));
}

void IGraphicsX11::CloseEditorWindow() {
  // Asks a menu or message box on our thread to give up before we wait for the editor.
  mClosing = true;
  std::unique_lock<IPlugBase::Mutex> plugLock;
  if (mPlug) plugLock = std::unique_lock<IPlugBase::Mutex>(mPlug->GetMutex());
  std::lock_guard<std::recursive_mutex> lock(mLock);
  if (!mWindow) return;
  if (mEntry.control) {
    mEntry = TextEntry();
  }
  ShowPointer();
  xcb_free_gc(mConn, mGc);
  xcb_destroy_window(mConn, mWindow);
  xcb_flush(mConn);
  mWindow = 0;
  mGc = 0;
  mParent = 0;
  ReleaseMouseCapture();
}

void* IGraphicsX11::GetWindowHandle() const {
  return mWindow ? reinterpret_cast<void*>(static_cast<std::uintptr_t>(mWindow)) : nullptr;
}

void IGraphicsX11::Resize(int width, int height) {
  if (width == Width() && height == Height()) return;
  std::lock_guard<std::recursive_mutex> lock(mLock);
  const int dW = width - Width();
  const int dH = height - Height();
  IGraphics::Resize(width, height);
  if (mShared.IsOpen()) {
    // A segment for the new size; should that fail, the socket carries the images.
    mShared.Close(mConn);
    mShared.Open(mConn, EditorBytes());
  }
  if (!mWindow) return;
  const std::uint32_t size[] = {static_cast<std::uint32_t>(width),
                                static_cast<std::uint32_t>(height)};
  xcb_configure_window(mConn, mWindow, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
  // The host's window grows with ours, as it does for a child window on other systems.
  if (mParent && mParent != mScreen->root) {
    xcb_get_geometry_reply_t* g =
        xcb_get_geometry_reply(mConn, xcb_get_geometry(mConn, mParent), nullptr);
    if (g) {
      const std::uint32_t parentSize[] = {static_cast<std::uint32_t>(std::max(1, g->width + dW)),
                                          static_cast<std::uint32_t>(std::max(1, g->height + dH))};
      xcb_configure_window(mConn, mParent, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                           parentSize);
      std::free(g);
    }
  }
  InvalidateRect(Rect(0, 0, width, height));
  xcb_flush(mConn);
}

void IGraphicsX11::InvalidateRect(const Rect& rect) {
  mInvalid = mInvalid.Union(rect.Intersect(Rect(0, 0, Width(), Height())));
}

// ---- Painting ----

void IGraphicsX11::PutImage(xcb_window_t window, const LICE_IBitmap& bitmap, const Rect& rect,
                            int destX, int destY) {
  const Rect r = rect.Intersect(Rect(0, 0, bitmap.getWidth(), bitmap.getHeight()));
  if (r.Empty() || !mConn) return;
  const std::size_t rowBytes = static_cast<std::size_t>(r.W()) * 4;
  // Requests carry a header of their own; keep well inside the server's limit.
  const std::size_t budget = mMaxRequestBytes > 1024 ? mMaxRequestBytes - 512 : 65536;
  const int rowsPerRequest = std::max(1, static_cast<int>(budget / rowBytes));
  std::vector<std::uint32_t> rows;
  for (int top = r.T; top < r.B; top += rowsPerRequest) {
    const int n = std::min(rowsPerRequest, r.B - top);
    rows.resize(static_cast<std::size_t>(r.W()) * static_cast<std::size_t>(n));
    for (int y = 0; y < n; ++y) {
      const LICE_pixel* src = bitmap.getBits() + (top + y) * bitmap.getRowSpan() + r.L;
      std::copy(src, src + r.W(), rows.begin() + static_cast<std::ptrdiff_t>(y) * r.W());
    }
    xcb_put_image(mConn, XCB_IMAGE_FORMAT_Z_PIXMAP, window, mGc, static_cast<std::uint16_t>(r.W()),
                  static_cast<std::uint16_t>(n), static_cast<std::int16_t>(destX + r.L - rect.L),
                  static_cast<std::int16_t>(destY + top - rect.T), 0, mScreen->root_depth,
                  static_cast<std::uint32_t>(rows.size() * 4),
                  reinterpret_cast<const std::uint8_t*>(rows.data()));
  }
}

bool IGraphicsX11::PresentRect(const Rect& rect) {
  if (!mWindow) return false;
  if (!mShared.Put(mConn, mWindow, mGc, mScreen->root_depth, *GetDrawBitmap(), rect, rect.L,
                   rect.T)) {
    PutImage(mWindow, *GetDrawBitmap(), rect, rect.L, rect.T);
  }
  // An open text box stays on top of the editor, as a native one would.
  if (mEntry.control && rect.Intersects(mEntry.rect)) {
    DrawTextEntry();
    if (mEntry.state == TextEntry::kIdle) mEntry.state = TextEntry::kRefreshed;
  }
  return true;
}

void IGraphicsX11::Tick() {
  mNextTick = Clock::now() + std::chrono::milliseconds(1000 / std::max(FPS(), 1));
  if (mEntry.control && mEntry.state != TextEntry::kIdle && mEntry.state != TextEntry::kActive) {
    FinishTextEntry();
    return;
  }
  Rect dirty;
  CollectDirty(&dirty);
  const Rect area = dirty.Union(mInvalid);
  mInvalid = Rect();
  if (!area.Empty()) DrawDirty(area);
}

// ---- Events ----

void IGraphicsX11::HandleEvent(xcb_generic_event_t* event) {
  switch (event->response_type & 0x7f) {
    case XCB_EXPOSE: {
      const auto* e = reinterpret_cast<xcb_expose_event_t*>(event);
      if (e->window != mWindow) break;
      InvalidateRect(Rect(e->x, e->y, e->x + e->width, e->y + e->height));
      break;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
      const auto* e = reinterpret_cast<xcb_button_press_event_t*>(event);
      if (e->event == mWindow) {
        HandleButton(e, (event->response_type & 0x7f) == XCB_BUTTON_PRESS);
      }
      break;
    }
    case XCB_MOTION_NOTIFY: {
      const auto* e = reinterpret_cast<xcb_motion_notify_event_t*>(event);
      if (e->event != mWindow) break;
      const MouseModifiers mod = ModifiersFrom(e->state);
      if (mod.L || mod.R) {
        // Only a press in our window captures the mouse (the server's implicit grab).
        if (mButtonsHeld && !mEntry.control) HandleMouseDrag(e->event_x, e->event_y, mod);
      } else {
        HandleMouseOver(e->event_x, e->event_y, mod);
      }
      break;
    }
    case XCB_LEAVE_NOTIFY: {
      const auto* e = reinterpret_cast<xcb_leave_notify_event_t*>(event);
      // A leave that only moves the pointer into the implicit grab of a press is no leave.
      if (e->event == mWindow && e->mode == XCB_NOTIFY_MODE_NORMAL && !mButtonsHeld) {
        HandleMouseOut();
      }
      break;
    }
    case XCB_KEY_PRESS:
      HandleKey(reinterpret_cast<xcb_key_press_event_t*>(event));
      break;
    case XCB_FOCUS_OUT: {
      const auto* e = reinterpret_cast<xcb_focus_out_event_t*>(event);
      // Focus that really leaves (not the pointer's pseudo-events, not into a child) commits.
      const bool leaves =
          e->detail != XCB_NOTIFY_DETAIL_INFERIOR && e->detail != XCB_NOTIFY_DETAIL_POINTER &&
          e->detail != XCB_NOTIFY_DETAIL_POINTER_ROOT && e->detail != XCB_NOTIFY_DETAIL_NONE;
      if (e->event == mWindow && leaves && e->mode == XCB_NOTIFY_MODE_NORMAL && mEntry.control &&
          mEntry.state == TextEntry::kActive) {
        mEntry.state = TextEntry::kCommit;
      }
      break;
    }
    case XCB_DESTROY_NOTIFY: {
      // The host destroyed its window (and ours with it) without closing the editor first.
      const auto* e = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
      if (e->window == mWindow) {
        mWindow = 0;
        mEntry = TextEntry();
        ReleaseMouseCapture();
      }
      break;
    }
    default:
      break;
  }
}

void IGraphicsX11::HandleButton(const xcb_button_press_event_t* e, bool press) {
  MouseModifiers mod = ModifiersFrom(e->state);
  const int x = e->event_x;
  const int y = e->event_y;
  if (e->detail == kWheelUp || e->detail == kWheelDown) {
    if (!press) return;
    if (mEntry.control) {
      mEntry.state = TextEntry::kCancel;
      return;
    }
    HandleMouseWheel(x, y, mod, e->detail == kWheelUp ? 1 : -1);
    return;
  }
  if (e->detail < 1 || e->detail > 3) return;
  const unsigned bit = 1u << e->detail;
  if (!press) {
    // The state is the one before the release; the released button no longer counts as held.
    if (e->detail == 1) mod.L = false;
    if (e->detail == 3) mod.R = false;
    const bool wasHeld = (mButtonsHeld & bit) != 0;
    mButtonsHeld &= ~bit;
    if (wasHeld && e->detail != 2) HandleMouseUp(x, y, mod);
    return;
  }
  if (e->detail == 1) mod.L = true;
  if (e->detail == 3) mod.R = true;
  if (mEntry.control) {
    // A click beside an open text box closes it: applied while it is being typed in.
    if (!mEntry.rect.Contains(x, y)) {
      mEntry.state = mEntry.state == TextEntry::kActive ? TextEntry::kCancel : TextEntry::kCommit;
    }
    return;
  }
  xcb_set_input_focus(mConn, XCB_INPUT_FOCUS_PARENT, mWindow, e->time);
  if (e->detail == 2) return;
  const bool isDouble = e->detail == 1 && !mLastPressWasDouble &&
                        e->time - mLastPressTime <= static_cast<std::uint32_t>(kDoubleClickMs) &&
                        std::abs(x - mLastPressX) <= kDoubleClickPixels &&
                        std::abs(y - mLastPressY) <= kDoubleClickPixels;
  if (e->detail == 1) {
    mLastPressTime = e->time;
    mLastPressX = x;
    mLastPressY = y;
    // A third press starts a new pair rather than making a second double-click.
    mLastPressWasDouble = isDouble;
  }
  if (isDouble) {
    if (HandleDoubleClick(x, y, mod)) mButtonsHeld |= bit;
    return;
  }
  mButtonsHeld |= bit;
  HandleMouseDown(x, y, mod);
}

void IGraphicsX11::HandleKey(const xcb_key_press_event_t* e) {
  if (e->event != mWindow) return;
  const bool shifted = (e->state & XCB_MOD_MASK_SHIFT) != 0;
  if (mEntry.control) {
    TextEntryKey(KeySym(e->detail, shifted), shifted);
    return;
  }
  const int key = TranslateKey(KeySym(e->detail, false));
  if (key >= 0 && HandleKeyDown(e->event_x, e->event_y, key)) return;
  // Keys the editor does not use belong to the host (its transport keys, say).
  if (mParent && mParent != mScreen->root) {
    xcb_key_press_event_t forward = *e;
    forward.event = mParent;
    xcb_send_event(mConn, 0, mParent, XCB_EVENT_MASK_KEY_PRESS,
                   reinterpret_cast<const char*>(&forward));
  }
}

// ---- Text box ----

void IGraphicsX11::ShowTextEntry(IControl* control, const TextStyle& style, const Rect& rect,
                                 const char* text, IParameter* param) {
  if (!control || mEntry.control || !mWindow) return;
  mEntry = TextEntry();
  mEntry.control = control;
  mEntry.param = param;
  mEntry.style = style;
  mEntry.rect = Rect(rect.L, rect.T, rect.R + 1, rect.B + 1);
  mEntry.maxLength = std::max(control->GetTextEntryLength(), 0);
  mEntry.text = text ? text : "";
  mEntry.allSelected = true;
  mEntry.state = TextEntry::kActive;
  xcb_set_input_focus(mConn, XCB_INPUT_FOCUS_PARENT, mWindow, XCB_CURRENT_TIME);
  DrawTextEntry();
  xcb_flush(mConn);
}

void IGraphicsX11::CancelTextEntry() {
  if (mEntry.control) mEntry.state = TextEntry::kCancel;
}

void IGraphicsX11::TextEntryKey(std::uint32_t keysym, bool /*shifted*/) {
  switch (keysym) {
    case kXkReturn:
    case kXkKpEnter:
      mEntry.state = TextEntry::kCommit;
      return;
    case kXkEscape:
      mEntry.state = TextEntry::kCancel;
      return;
    case kXkBackSpace:
      if (mEntry.allSelected) {
        mEntry.text.clear();
      } else if (!mEntry.text.empty()) {
        mEntry.text.pop_back();
      }
      break;
    case kXkLeft:
    case kXkRight:
      mEntry.allSelected = false;
      break;
    default: {
      if (keysym < 0x20 || keysym >= 0x7f) return;
      const char c = static_cast<char>(keysym);
      if (!EntryAccepts(mEntry.param, c)) return;
      if (mEntry.allSelected) mEntry.text.clear();
      if (static_cast<int>(mEntry.text.size()) >= mEntry.maxLength) {
        mEntry.allSelected = false;
        break;
      }
      mEntry.text.push_back(c);
      break;
    }
  }
  mEntry.allSelected = false;
  DrawTextEntry();
  xcb_flush(mConn);
}

void IGraphicsX11::DrawTextEntry() {
  if (!mEntry.control || !mWindow) return;
  const Rect& r = mEntry.rect;
  mEntryBitmap.resize(r.W(), r.H());
  const Color& bg = mEntry.style.mTextEntryBGColor;
  const Color& fg = mEntry.style.mTextEntryFGColor;
  LICE_Clear(&mEntryBitmap, LICE_RGBA(bg.R, bg.G, bg.B, 255));
  const FontCacheEntry* font = FontCache::Instance().Find(mEntry.style);
  const LICE_pixel ink = LICE_RGBA(fg.R, fg.G, fg.B, 255);
  int width = 0;
  int height = 0;
  if (font && font->IsValid()) {
    font->MeasureText(mEntry.text, &width, &height);
    const int align = mEntry.style.mAlign == TextStyle::kAlignNear  ? LICE_DT_LEFT
                      : mEntry.style.mAlign == TextStyle::kAlignFar ? LICE_DT_RIGHT
                                                                    : LICE_DT_CENTER;
    const Rect inner(2, 0, r.W() - 2, r.H());
    if (mEntry.allSelected && !mEntry.text.empty()) {
      // The initial text is selected: typing replaces it.
      const int left = align == LICE_DT_LEFT    ? inner.L
                       : align == LICE_DT_RIGHT ? inner.R - width
                                                : (inner.L + inner.R - width) / 2;
      LICE_FillRect(&mEntryBitmap, left, 1, width, r.H() - 2, LICE_RGBA(51, 153, 255, 255), 1.0f,
                    LICE_BLIT_MODE_COPY);
    }
    font->DrawText(&mEntryBitmap, mEntry.text, inner,
                   mEntry.allSelected ? LICE_RGBA(255, 255, 255, 255) : ink,
                   align | LICE_DT_VCENTER);
    // The caret after the text.
    int caret = align == LICE_DT_LEFT    ? inner.L + width
                : align == LICE_DT_RIGHT ? inner.R - 1
                                         : (inner.L + inner.R + width) / 2;
    caret = std::clamp(caret, 0, r.W() - 1);
    LICE_FillRect(&mEntryBitmap, caret, 2, 1, std::max(r.H() - 4, 1), ink, 1.0f,
                  LICE_BLIT_MODE_COPY);
  }
  PutImage(mWindow, mEntryBitmap, Rect(0, 0, r.W(), r.H()), r.L, r.T);
}

void IGraphicsX11::FinishTextEntry() {
  TextEntry entry = mEntry;
  mEntry = TextEntry();
  if (entry.state == TextEntry::kCommit) {
    std::string text = entry.text.substr(0, 31);
    CommitTextEntry(entry.control, entry.param, text.c_str());
  }
  // What the box covered is the editor's again.
  InvalidateRect(entry.rect);
}

// ---- Pointer ----

void IGraphicsX11::HidePointer() {
  if (mPointerHidden || !mWindow) return;
  xcb_query_pointer_reply_t* p =
      xcb_query_pointer_reply(mConn, xcb_query_pointer(mConn, mScreen->root), nullptr);
  if (p) {
    mHiddenX = p->root_x;
    mHiddenY = p->root_y;
    std::free(p);
  }
  if (!mBlankCursor) {
    const xcb_pixmap_t pixmap = xcb_generate_id(mConn);
    xcb_create_pixmap(mConn, 1, pixmap, mWindow, 1, 1);
    mBlankCursor = xcb_generate_id(mConn);
    xcb_create_cursor(mConn, mBlankCursor, pixmap, pixmap, 0, 0, 0, 0, 0, 0, 0, 0);
    xcb_free_pixmap(mConn, pixmap);
  }
  xcb_change_window_attributes(mConn, mWindow, XCB_CW_CURSOR, &mBlankCursor);
  xcb_flush(mConn);
  mPointerHidden = true;
}

void IGraphicsX11::ShowPointer() {
  if (!mPointerHidden || !mWindow) return;
  const std::uint32_t none = XCB_NONE;
  xcb_change_window_attributes(mConn, mWindow, XCB_CW_CURSOR, &none);
  xcb_warp_pointer(mConn, XCB_NONE, mScreen->root, 0, 0, 0, 0, static_cast<std::int16_t>(mHiddenX),
                   static_cast<std::int16_t>(mHiddenY));
  xcb_flush(mConn);
  mPointerHidden = false;
}

xcb_window_t IGraphicsX11::HostTopLevel() {
  xcb_window_t window = mWindow;
  xcb_window_t topLevel = mParent;
  for (int depth = 0; window && depth < 64; ++depth) {
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(mConn, xcb_query_tree(mConn, window), nullptr);
    if (!tree) break;
    const xcb_window_t parent = tree->parent;
    std::free(tree);
    if (!parent || parent == mScreen->root) break;
    topLevel = parent;
    window = parent;
  }
  return topLevel;
}
