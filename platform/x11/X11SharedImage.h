#pragma once

// The editor's pixels to its window through a memory segment shared with the X server (MIT-SHM):
// the server reads the segment instead of receiving every dirty rectangle through the socket,
// which saves a copy into the socket and one out of it on a local display. Servers without the
// extension, and
// displays on another machine (where the server cannot attach our segment), get nothing from
// Open and the caller keeps sending images over the socket.

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "editor/IGraphicsStructs.h"

class X11SharedImage {
 public:
  X11SharedImage() = default;
  ~X11SharedImage() = default;  // Close it while the connection lasts
  X11SharedImage(const X11SharedImage&) = delete;
  X11SharedImage& operator=(const X11SharedImage&) = delete;

  // A segment of at least bytes, attached by the server. False (and nothing held) when the server
  // has no MIT-SHM or cannot attach it.
  bool Open(xcb_connection_t* conn, std::size_t bytes);
  void Close(xcb_connection_t* conn);
  bool IsOpen() const;

  // Puts rect of bitmap (clipped to it) at (destX, destY) of window. False when the rectangle does
  // not fit the segment; the caller then sends it over the socket.
  bool Put(xcb_connection_t* conn, xcb_window_t window, xcb_gcontext_t gc, std::uint8_t depth,
           const LICE_IBitmap& bitmap, const Rect& rect, int destX, int destY);

 private:
  // Waits until the server has finished reading the segment for the last Put.
  void WaitForServer(xcb_connection_t* conn);

  mutable std::mutex mLock;
  xcb_shm_seg_t mSegment = 0;
  void* mData = nullptr;
  std::size_t mBytes = 0;
  bool mPending = false;
  xcb_get_input_focus_cookie_t mFence{};
};
