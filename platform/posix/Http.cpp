#include "platform/Http.h"

#include <curl/curl.h>
#include <dlfcn.h>

namespace platform {

namespace {

// libcurl is opened at the first request rather than linked: linked, it and the thirty libraries
// it needs (TLS, Kerberos, LDAP and more) would be loaded, relocated and initialised with every
// load of the plug-in, which multiplied the time a host waits for the first instance, for a check
// that most sessions never make. Once opened it stays for the life of the process, as libcurl's
// own global state expects.
struct Curl {
  decltype(&curl_easy_init) easyInit = nullptr;
  decltype(&curl_easy_setopt) easySetopt = nullptr;
  decltype(&curl_easy_perform) easyPerform = nullptr;
  decltype(&curl_easy_cleanup) easyCleanup = nullptr;
  decltype(&curl_slist_append) slistAppend = nullptr;
  decltype(&curl_slist_free_all) slistFreeAll = nullptr;

  bool Loaded() const {
    return easyInit && easySetopt && easyPerform && easyCleanup && slistAppend && slistFreeAll;
  }
};

template <typename Function>
void Resolve(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(::dlsym(library, name));
}

const Curl* OpenCurl() {
  static const Curl curl = [] {
    Curl found;
    void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) return found;
    Resolve(library, "curl_easy_init", &found.easyInit);
    Resolve(library, "curl_easy_setopt", &found.easySetopt);
    Resolve(library, "curl_easy_perform", &found.easyPerform);
    Resolve(library, "curl_easy_cleanup", &found.easyCleanup);
    Resolve(library, "curl_slist_append", &found.slistAppend);
    Resolve(library, "curl_slist_free_all", &found.slistFreeAll);
    return found;
  }();
  return curl.Loaded() ? &curl : nullptr;
}

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
  const Curl* lib = OpenCurl();
  if (!lib) return false;
  CURL* curl = lib->easyInit();
  if (!curl) return false;
  const std::string url = "http://" + host + ":" + std::to_string(port) + path;
  Received received{body};
  lib->easySetopt(curl, CURLOPT_URL, url.c_str());
  lib->easySetopt(curl, CURLOPT_USERAGENT, agent.c_str());
  // A plug-in runs inside someone else's process: no signals for time-outs.
  lib->easySetopt(curl, CURLOPT_NOSIGNAL, 1L);
  lib->easySetopt(curl, CURLOPT_NOPROXY, "*");
  lib->easySetopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  lib->easySetopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  lib->easySetopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  lib->easySetopt(curl, CURLOPT_MAXREDIRS, 5L);
  // The editor waits for the answer: bounded, so a silent server cannot freeze it for long.
  lib->easySetopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
  lib->easySetopt(curl, CURLOPT_TIMEOUT, 20L);
  lib->easySetopt(curl, CURLOPT_WRITEFUNCTION, Append);
  lib->easySetopt(curl, CURLOPT_WRITEDATA, &received);
  curl_slist* headers = lib->slistAppend(nullptr, "Accept: */*");
  lib->easySetopt(curl, CURLOPT_HTTPHEADER, headers);
  const CURLcode result = lib->easyPerform(curl);
  lib->slistFreeAll(headers);
  lib->easyCleanup(curl);
  return result == CURLE_OK || (result == CURLE_WRITE_ERROR && received.cut);
}

}  // namespace platform
