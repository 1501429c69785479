#include "platform/Http.h"

#include <curl/curl.h>

namespace platform {

namespace {

struct Received {
  std::string* body;
  bool cut = false;
};

std::size_t Append(char* data, std::size_t size, std::size_t count, void* user) {
  auto* received = static_cast<Received*>(user);
  const std::size_t bytes = size * count;
  const std::size_t room = kMaxHttpBody - received->body->size();
  if (bytes > room) {
    received->body->append(data, room);
    received->cut = true;
    return 0;  // ends the transfer
  }
  received->body->append(data, bytes);
  return bytes;
}

}  // namespace

bool HttpGet(const std::string& host, int port, const std::string& path, const std::string& agent,
             std::string* body) {
  if (!body) return false;
  body->clear();
  CURL* curl = curl_easy_init();
  if (!curl) return false;
  const std::string url = "http://" + host + ":" + std::to_string(port) + path;
  Received received{body};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
  // A plug-in runs inside someone else's process: no signals for time-outs.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  // The editor waits for the answer: bounded, so a silent server cannot freeze it for long.
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
  curl_slist* headers = curl_slist_append(nullptr, "Accept: */*");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  const CURLcode result = curl_easy_perform(curl);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return result == CURLE_OK || (result == CURLE_WRITE_ERROR && received.cut);
}

}  // namespace platform
