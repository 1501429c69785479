// `rhythmoria edit` on Linux: a top-level X11 window (on xcb, like the plug-in's own layer) that
// hands its id to effEditOpen and then behaves like a DAW's editor frame: it serves its own
// window's events, calls effEditIdle about 30 times a second and renders blocks on a thread of
// their own at the pace of real time (EditorSession).
#include <poll.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/EditorSession.h"
#include "host/EditorWindow.h"

namespace vsthost {
namespace {

constexpr int kIdleIntervalMs = 33;

xcb_atom_t InternAtom(xcb_connection_t* conn, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      conn, xcb_intern_atom(conn, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

}  // namespace

bool RunEditorWindow(PluginHost& host, const EditorWindowOptions& options, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  ERect* rect = nullptr;
  if (!(host.Effect()->flags & effFlagsHasEditor) || !host.Dispatch(effEditGetRect, 0, 0, &rect) ||
      !rect) {
    return fail("the plug-in has no editor");
  }
  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;
  if (width <= 0 || height <= 0) return fail("the plug-in's editor has no size");

  int screenNumber = 0;
  xcb_connection_t* conn = xcb_connect(nullptr, &screenNumber);
  if (!conn || xcb_connection_has_error(conn)) {
    if (conn) xcb_disconnect(conn);
    return fail("cannot connect to the X display (is DISPLAY set?)");
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn));
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  xcb_screen_t* screen = it.data;

  const xcb_window_t window = xcb_generate_id(conn);
  const std::uint32_t values[] = {screen->black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(conn, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0,
                    static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  const std::string title = "rhythmoria edit: " + host.EffectName();
  xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      static_cast<std::uint32_t>(title.size()), title.data());
  const xcb_atom_t protocols = InternAtom(conn, "WM_PROTOCOLS");
  const xcb_atom_t deleteWindow = InternAtom(conn, "WM_DELETE_WINDOW");
  xcb_change_property(conn, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1,
                      &deleteWindow);
  xcb_map_window(conn, window);
  // The plug-in talks to the server on a connection of its own: the window must exist first.
  std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));

  if (!host.Dispatch(effEditOpen, 0, 0,
                     reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)))) {
    xcb_destroy_window(conn, window);
    xcb_disconnect(conn);
    return fail("the plug-in could not open its editor");
  }

  EditorSession session(host, options);

  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                       std::chrono::duration<double>(options.seconds));
  auto nextIdle = std::chrono::steady_clock::now();
  bool open = true;
  while (open) {
    if (options.seconds > 0 && std::chrono::steady_clock::now() >= end) break;
    pollfd fd = {xcb_get_file_descriptor(conn), POLLIN, 0};
    ::poll(&fd, 1, kIdleIntervalMs);
    while (xcb_generic_event_t* e = xcb_poll_for_event(conn)) {
      const int kind = e->response_type & 0x7f;
      if (kind == XCB_CLIENT_MESSAGE &&
          reinterpret_cast<xcb_client_message_event_t*>(e)->data.data32[0] == deleteWindow) {
        open = false;
      } else if (kind == XCB_DESTROY_NOTIFY) {
        open = false;
      }
      std::free(e);
    }
    if (xcb_connection_has_error(conn)) break;
    if (std::chrono::steady_clock::now() >= nextIdle) {
      host.Dispatch(effEditIdle);
      session.Idle({true, 1});
      nextIdle = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIdleIntervalMs);
    }
  }
  host.Dispatch(effEditClose);
  session.Finish({false, 1});
  xcb_destroy_window(conn, window);
  xcb_disconnect(conn);
  return true;
}

}  // namespace vsthost
