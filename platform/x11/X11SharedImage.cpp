#include "platform/x11/X11SharedImage.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

bool X11SharedImage::Open(xcb_connection_t* conn, std::size_t bytes) {
  std::lock_guard<std::mutex> lock(mLock);
  if (!conn || bytes == 0) return false;
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(conn, &xcb_shm_id);
  if (!extension || !extension->present) return false;
  // Asked only once the server is known to have the extension (a request to a missing extension
  // closes the connection); no answer also means the client library is missing.
  xcb_shm_query_version_reply_t* version =
      xcb_shm_query_version_reply(conn, xcb_shm_query_version(conn), nullptr);
  if (!version) return false;
  std::free(version);
  const int id = ::shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* data = ::shmat(id, nullptr, 0);
  if (data == reinterpret_cast<void*>(-1)) {
    ::shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  const xcb_shm_seg_t segment = xcb_generate_id(conn);
  // The server only reads it. On a display elsewhere the attach fails and we keep the socket.
  xcb_generic_error_t* error = xcb_request_check(
      conn, xcb_shm_attach_checked(conn, segment, static_cast<std::uint32_t>(id), 1));
  // Marked for removal now: it goes when both sides have let go, even if the host crashes.
  ::shmctl(id, IPC_RMID, nullptr);
  if (error) {
    std::free(error);
    ::shmdt(data);
    return false;
  }
  mSegment = segment;
  mData = data;
  mBytes = bytes;
  mPending = false;
  return true;
}

void X11SharedImage::Close(xcb_connection_t* conn) {
  std::lock_guard<std::mutex> lock(mLock);
  if (!mData) return;
  if (conn && !xcb_connection_has_error(conn)) {
    WaitForServer(conn);
    xcb_shm_detach(conn, mSegment);
    xcb_flush(conn);
  } else {
    mPending = false;
  }
  ::shmdt(mData);
  mData = nullptr;
  mSegment = 0;
  mBytes = 0;
}

bool X11SharedImage::IsOpen() const {
  std::lock_guard<std::mutex> lock(mLock);
  return mData != nullptr;
}

void X11SharedImage::WaitForServer(xcb_connection_t* conn) {
  if (!mPending) return;
  mPending = false;
  // The server answers requests in order, and copies a shared image before it goes on: once it
  // has answered the request sent after the copy, the segment is ours again.
  std::free(xcb_get_input_focus_reply(conn, mFence, nullptr));
}

bool X11SharedImage::Put(xcb_connection_t* conn, xcb_window_t window, xcb_gcontext_t gc,
                         std::uint8_t depth, const LICE_IBitmap& bitmap, const Rect& rect,
                         int destX, int destY) {
  std::lock_guard<std::mutex> lock(mLock);
  const Rect r = rect.Intersect(Rect(0, 0, bitmap.getWidth(), bitmap.getHeight()));
  if (!mData || !conn) return false;
  if (r.Empty()) return true;
  const std::size_t rowPixels = static_cast<std::size_t>(r.W());
  if (rowPixels * static_cast<std::size_t>(r.H()) * 4 > mBytes) return false;
  WaitForServer(conn);
  auto* out = static_cast<LICE_pixel*>(mData);
  for (int y = r.T; y < r.B; ++y) {
    const LICE_pixel* src = bitmap.getBits() + y * bitmap.getRowSpan() + r.L;
    std::memcpy(out + static_cast<std::size_t>(y - r.T) * rowPixels, src, rowPixels * 4);
  }
  const auto w = static_cast<std::uint16_t>(r.W());
  const auto h = static_cast<std::uint16_t>(r.H());
  xcb_shm_put_image(conn, window, gc, w, h, 0, 0, w, h,
                    static_cast<std::int16_t>(destX + r.L - rect.L),
                    static_cast<std::int16_t>(destY + r.T - rect.T), depth,
                    XCB_IMAGE_FORMAT_Z_PIXMAP, 0, mSegment, 0);
  mFence = xcb_get_input_focus(conn);
  mPending = true;
  return true;
}
