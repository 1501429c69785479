#pragma once

#include <cstddef>
#include <string>

// One plain HTTP request, for the online update check. One implementation per operating system:
// WinINet on Windows, libcurl elsewhere.
//
// Threads: blocks the calling thread until the server answers or the attempt fails; never call it
// on the audio thread.
namespace platform {

// The most of an answer that is kept; anything longer is cut here, so a server sending without end
// cannot exhaust the host's memory.
inline constexpr std::size_t kMaxHttpBody = 64 * 1024;

// GET of path (starting with "/") from host at port, directly without a proxy, with the given user
// agent and accepting any type. body receives what the server sent (the body of any status,
// error pages included), cut at kMaxHttpBody. False when no request could be sent; body then
// holds whatever arrived, usually nothing.
bool HttpGet(const std::string& host, int port, const std::string& path, const std::string& agent,
             std::string* body);

}  // namespace platform
