#include "platform/Http.h"

#include <windows.h>
#include <wininet.h>

namespace platform {

bool HttpGet(const std::string& host, int port, const std::string& path, const std::string& agent,
             std::string* body) {
  if (!body) return false;
  body->clear();
  HINTERNET internet = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
  bool sent = false;
  if (internet) {
    connection = InternetConnectA(internet, host.c_str(), static_cast<INTERNET_PORT>(port), nullptr,
                                  nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  }
  if (connection) {
    const char* acceptTypes[] = {"*/*", nullptr};
    request =
        HttpOpenRequestA(connection, "GET", path.c_str(), nullptr, nullptr, acceptTypes, 0, 0);
  }
  if (request) sent = HttpSendRequestA(request, nullptr, 0, nullptr, 0) != FALSE;
  if (sent) {
    char piece[1024];
    DWORD got = 0;
    while (InternetReadFile(request, piece, sizeof(piece), &got) && got > 0) {
      const std::size_t room = kMaxHttpBody - body->size();
      body->append(piece, got < room ? got : room);
      if (body->size() >= kMaxHttpBody) break;
    }
  }
  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(internet);
  return sent;
}

}  // namespace platform
