// The online update check of the OPTIONS menu.
#include <cstdio>
#include <exception>
#include <string>

#include "editor/IGraphics.h"
#include "platform/Http.h"
#include "synth/Synth.h"
#include "synth/UpdateServer.h"

namespace {

constexpr char kCaption[] = "Check Online for Update";
constexpr char kProduct[] = "Rhythmoria";

// The answer's leading decimal digits; 0 without any. Saturates: any long number is newer.
long long LeadingNumber(const std::string& text) {
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value < 1000000000LL) value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string Synth::VersionText() const {
  const std::int32_t word = GetEffectVersion(false);
  return std::to_string((word >> 16) & 0xFFFF) + "." + std::to_string((word >> 8) & 0xFF) + "." +
         std::to_string(word & 0xFF);
}

int Synth::UpdateVersionNumber() const {
  const std::int32_t word = GetEffectVersion(false);
  return ((word >> 16) & 0xFFFF) * 1000 + ((word >> 8) & 0xFF) * 100 + (word & 0xFF);
}

int Synth::CheckForUpdate(IGraphics* editor) {
  if (!editor) return -1;
  // Runs on the editor thread without the plug-in mutex: blocks keep rendering meanwhile.
  const UpdateServer server = UpdateServer::Current();
  std::string response;
  platform::HttpGet(server.host, server.port, kUpdateQueryPath, kProduct, &response);
  const std::string contactError =
      "An error occurred while contacting " + server.WebAddress() + ".";
  if (response.empty()) {
    editor->ShowMessageBox(contactError.c_str(), kCaption, kBoxError);
    return -1;
  }
  if (response.find('<') != std::string::npos) {
    const std::string text = "Invalid call to " + server.WebAddress() + ".";
    editor->ShowMessageBox(text.c_str(), kCaption, kBoxError);
    return -3;
  }
  if (LeadingNumber(response) <= UpdateVersionNumber()) {
    editor->ShowMessageBox("Your version is up to date.", kCaption, kBoxInformation);
    return 0;
  }
  std::string text;
  std::string title;
  std::string url;
  try {
    // A newer number has at least four digits: major, minor, then the patch number, whose
    // leading zero is dropped.
    std::string newVersion = std::string(1, response[0]) + "." + response[1] + ".";
    newVersion += response.substr(response[2] == '0' ? 3 : 2);
    text = std::string("A new version of ") + kProduct + " is available.\n\n" +
           "\tYour version: \t" + VersionText() + "\n" + "\tNew version: \t" + newVersion + "\n" +
           "\nDo you want to go to " + server.WebAddress() + " to get the new version?";
    title = std::string("New Version of ") + kProduct + " Detected";
    url = server.DownloadPageUrl();
  } catch (const std::exception&) {
    editor->ShowMessageBox(contactError.c_str(), kCaption, kBoxError);
    return -2;
  }
  if (editor->ShowMessageBox(text.c_str(), title.c_str(), kBoxYesNo) != kAnswerNo) {
    editor->OpenWebPage(url.c_str());
  }
  return 0;
}
