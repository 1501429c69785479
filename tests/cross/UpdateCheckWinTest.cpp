// The online update check through WinINet, run under wine against a server of the test's own on
// the loopback interface. The editor is the headless layer, which records its message boxes and
// web pages instead of showing them; the texts, icons and results must be those the Linux build
// (libcurl) shows for the same answers.
#define NOMINMAX
#include <winsock2.h>
#include <ws2tcpip.h>
#undef DrawText

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "editor/GraphicsFactory.h"
#include "engine/Rhythmoria.h"
#include "platform/headless/IGraphicsHeadless.h"
#include "tests/support/UpdateCheckAnswers.h"

namespace {

// Answers one HTTP request with the given reply (whole, headers included), then closes.
class OneShotServer {
 public:
  explicit OneShotServer(std::string reply) : mReply(std::move(reply)) {
    mListener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (mListener == INVALID_SOCKET ||
        ::bind(mListener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(mListener, 1) != 0 ||
        ::getsockname(mListener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    mPort = ntohs(address.sin_port);
    mThread = std::thread([this] { Serve(); });
  }
  ~OneShotServer() {
    ::closesocket(mListener);
    if (mThread.joinable()) mThread.join();
  }
  int Port() const { return mPort; }
  const std::string& Request() const { return mRequest; }

  static std::string Ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  }

 private:
  void Serve() {
    const SOCKET client = ::accept(mListener, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    char buffer[4096];
    while (mRequest.find("\r\n\r\n") == std::string::npos) {
      const int got = ::recv(client, buffer, sizeof(buffer), 0);
      if (got <= 0) break;
      mRequest.append(buffer, static_cast<std::size_t>(got));
    }
    ::send(client, mReply.data(), static_cast<int>(mReply.size()), 0);
    ::shutdown(client, SD_BOTH);
    ::closesocket(client);
  }

  std::string mReply;
  std::string mRequest;
  SOCKET mListener = INVALID_SOCKET;
  int mPort = 0;
  std::thread mThread;
};

class WinUpdateCheck : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  }
  static void TearDownTestSuite() { WSACleanup(); }

  void SetUp() override {
    SetGraphicsFactory(MakeHeadlessGraphics);
    plug = std::make_unique<Rhythmoria>(IPlugInstanceInfo{});
    gui = dynamic_cast<IGraphicsHeadless*>(plug->GetGUI());
    ASSERT_NE(gui, nullptr);
    gui->Open();
  }
  void TearDown() override {
    plug.reset();
    _putenv_s("RHYTHMORIA_UPDATE_SERVER", "");
  }

  static void PointAt(int port) {
    _putenv_s("RHYTHMORIA_UPDATE_SERVER", ("127.0.0.1:" + std::to_string(port)).c_str());
  }
  // Runs the check against a server sending reply; its request is kept in request.
  int Check(const std::string& reply, int answer = Synth::kAnswerNo) {
    OneShotServer server(reply);
    EXPECT_NE(server.Port(), 0);
    PointAt(server.Port());
    gui->messageBoxAnswers = {answer};
    const int result = plug->CheckForUpdate(gui);
    port = server.Port();
    request = server.Request();
    return result;
  }
  const IGraphicsHeadless::MessageBoxShown& Box() const { return gui->messageBoxesShown.back(); }

  std::unique_ptr<Rhythmoria> plug;
  IGraphicsHeadless* gui = nullptr;
  std::string request;
  int port = 0;
};

TEST_F(WinUpdateCheck, AsksForTheVersionWithOurAgentAndSameOrOlderOrLettersAreUpToDate) {
  for (const char* answer : update_answers::kUpToDate) {
    EXPECT_EQ(Check(OneShotServer::Ok(answer)), 0) << answer;
    EXPECT_EQ(request.rfind("GET /music/version/?file=rhythmoria HTTP/1.", 0), 0u) << request;
    EXPECT_NE(request.find("User-Agent: Rhythmoria\r\n"), std::string::npos) << request;
    ASSERT_FALSE(gui->messageBoxesShown.empty());
    update_answers::ExpectUpToDate(Box());
  }
  EXPECT_TRUE(gui->webPagesOpened.empty());
}

TEST_F(WinUpdateCheck, NewerVersionsOfferTheDownloadPageOnlyOnYes) {
  for (const update_answers::Newer& newer : update_answers::kNewer) {
    EXPECT_EQ(Check(OneShotServer::Ok(newer.answer)), 0) << newer.answer;
    ASSERT_FALSE(gui->messageBoxesShown.empty());
    update_answers::ExpectNewer(Box(), newer.shown, "127.0.0.1");
  }
  EXPECT_TRUE(gui->webPagesOpened.empty()) << "No opens nothing";

  EXPECT_EQ(Check(OneShotServer::Ok("1107"), Synth::kAnswerYes), 0);
  ASSERT_EQ(gui->webPagesOpened.size(), 1u);
  EXPECT_EQ(gui->webPagesOpened[0], "http://127.0.0.1:" + std::to_string(port) + "/music/vst.html");
}

TEST_F(WinUpdateCheck, BadAnswersSilenceAndNoServerShowErrorBoxesPromptly) {
  EXPECT_EQ(Check(OneShotServer::Ok("<html><body>404 Not Found</body></html>")), -3);
  update_answers::ExpectInvalidCall(Box(), "127.0.0.1");

  // An empty answer, and a server that hangs up without answering at all.
  for (const std::string& reply : {OneShotServer::Ok(""), std::string()}) {
    const std::size_t before = gui->messageBoxesShown.size();
    EXPECT_EQ(Check(reply), -1) << reply;
    ASSERT_EQ(gui->messageBoxesShown.size(), before + 1);
    update_answers::ExpectContactError(Box(), "127.0.0.1");
  }

  int closedPort;
  {
    OneShotServer gone(OneShotServer::Ok(""));  // a free port, closed again before the check
    closedPort = gone.Port();
  }
  PointAt(closedPort);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(plug->CheckForUpdate(gui), -1);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(5))
      << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
  update_answers::ExpectContactError(Box(), "127.0.0.1");
  EXPECT_TRUE(gui->webPagesOpened.empty());
}

}  // namespace
