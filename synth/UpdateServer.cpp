#include "synth/UpdateServer.h"

#include <cstdlib>
#include <string_view>

#ifndef RHYTHMORIA_UPDATE_HOST
#define RHYTHMORIA_UPDATE_HOST "www.morvanemusic.com"
#endif

namespace {

constexpr char kEnvironmentVariable[] = "RHYTHMORIA_UPDATE_SERVER";
constexpr int kHttpPort = 80;

// "host" or "host:port"; false for anything else (an empty host, a port that is not 1..65535).
bool ParseServer(std::string_view text, UpdateServer* server) {
  const std::size_t colon = text.rfind(':');
  std::string_view host = text;
  int port = kHttpPort;
  if (colon != std::string_view::npos) {
    host = text.substr(0, colon);
    const std::string_view digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    port = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return false;
  }
  if (host.empty() || host.find_first_of(" \t\r\n/") != std::string_view::npos) return false;
  server->host.assign(host);
  server->port = port;
  return true;
}

}  // namespace

UpdateServer UpdateServer::Current() {
  UpdateServer server;
  const char* configured = std::getenv(kEnvironmentVariable);
  if (configured && *configured && ParseServer(configured, &server)) return server;
  server.host = RHYTHMORIA_UPDATE_HOST;
  server.port = kHttpPort;
  return server;
}

std::string UpdateServer::HomePageUrl() const {
  std::string url = "http://";
  url += host;
  if (port != kHttpPort) {
    url += ':';
    url += std::to_string(port);
  }
  url += '/';
  return url;
}

std::string UpdateServer::DownloadPageUrl() const {
  return HomePageUrl() + kDownloadPagePath;
}
