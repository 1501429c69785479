#pragma once

#include <string>

// Where the maker's web site lives: the host name is chosen when building (the CMake cache
// variable RHYTHMORIA_UPDATE_SERVER) and can be replaced at run time by the environment variable
// of the same name, "host" or "host:port" (a port other than 80 serves tests against a local
// server).
struct UpdateServer {
  std::string host;
  int port = 80;

  // Read afresh on every call, so each check asks the server that is configured now.
  static UpdateServer Current();

  // The maker's web address as the user reads it: the host name.
  const std::string& WebAddress() const { return host; }
  // "http://host/" (with ":port" when it is not 80), and the plug-in download page under it.
  std::string HomePageUrl() const;
  std::string DownloadPageUrl() const;
};

// The server's answer to this request is the newest version's number as plain text.
inline constexpr char kUpdateQueryPath[] = "/music/version/?file=rhythmoria";
inline constexpr char kDownloadPagePath[] = "music/vst.html";
