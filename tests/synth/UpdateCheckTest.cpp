// The online update check against a server of the test's own on the loopback interface: what it
// asks, and the box, result and web page of every kind of answer.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "platform/headless/IGraphicsHeadless.h"
#include "synth/UpdateServer.h"
#include "tests/support/FakeHost.h"
#include "tests/support/UpdateCheckAnswers.h"
#include "tests/synth/ConfigHome.h"

namespace {

using synth_test::ConfigHomeTest;
using testing_support::FakeHost;

// Answers one HTTP request with the given body, then closes; remembers the request.
class OneShotServer {
 public:
  explicit OneShotServer(std::string body) : mBody(std::move(body)) {
    mListener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(mListener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(mListener, 1) != 0 ||
        ::getsockname(mListener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    mPort = ntohs(address.sin_port);
    mThread = std::thread([this] { Serve(); });
  }
  ~OneShotServer() {
    ::shutdown(mListener, SHUT_RDWR);
    if (mThread.joinable()) mThread.join();
    ::close(mListener);
  }
  int Port() const { return mPort; }
  // Valid once the check has returned.
  const std::string& Request() const { return mRequest; }

 private:
  void Serve() {
    const int client = ::accept(mListener, nullptr, nullptr);
    if (client < 0) return;
    char buffer[4096];
    while (mRequest.find("\r\n\r\n") == std::string::npos) {
      const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
      if (got <= 0) break;
      mRequest.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                              std::to_string(mBody.size()) + "\r\nConnection: close\r\n\r\n" +
                              mBody;
    ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    ::close(client);
  }

  std::string mBody;
  std::string mRequest;
  int mListener = -1;
  int mPort = 0;
  std::thread mThread;
};

class UpdateCheckTest : public ConfigHomeTest {
 protected:
  void SetUp() override {
    ConfigHomeTest::SetUp();
    const char* saved = std::getenv("RHYTHMORIA_UPDATE_SERVER");
    if (saved) mSavedServer = saved;
    plug = std::make_unique<FakeHost>();
    gui = dynamic_cast<IGraphicsHeadless*>(plug->GetGUI());
    ASSERT_NE(gui, nullptr);
    gui->Open();
  }
  void TearDown() override {
    plug.reset();
    if (mSavedServer) {
      ::setenv("RHYTHMORIA_UPDATE_SERVER", mSavedServer->c_str(), 1);
    } else {
      ::unsetenv("RHYTHMORIA_UPDATE_SERVER");
    }
    ConfigHomeTest::TearDown();
  }

  // Runs the check against a server answering body; the server's request is kept in request.
  int Check(const std::string& body, int answer = Synth::kAnswerNo) {
    OneShotServer server(body);
    EXPECT_NE(server.Port(), 0);
    ::setenv("RHYTHMORIA_UPDATE_SERVER", ("127.0.0.1:" + std::to_string(server.Port())).c_str(), 1);
    gui->messageBoxAnswers = {answer};
    const int result = plug->CheckForUpdate(gui);
    port = server.Port();
    request = server.Request();
    return result;
  }
  const IGraphicsHeadless::MessageBoxShown& Box() const { return gui->messageBoxesShown.back(); }

  std::unique_ptr<FakeHost> plug;
  IGraphicsHeadless* gui = nullptr;
  std::string request;
  int port = 0;

 private:
  std::optional<std::string> mSavedServer;
};

TEST_F(UpdateCheckTest, AsksForTheVersionWithOurAgent) {
  EXPECT_EQ(Check("1106"), 0);
  EXPECT_EQ(request.rfind("GET /music/version/?file=rhythmoria HTTP/1.", 0), 0u) << request;
  EXPECT_NE(request.find("User-Agent: Rhythmoria\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("Accept: */*\r\n"), std::string::npos) << request;
}

TEST_F(UpdateCheckTest, SameOrOlderVersionsAndLettersAreUpToDate) {
  for (const char* answer : update_answers::kUpToDate) {
    EXPECT_EQ(Check(answer), 0) << answer;
    update_answers::ExpectUpToDate(Box());
  }
  EXPECT_TRUE(gui->webPagesOpened.empty());
}

TEST_F(UpdateCheckTest, NewerVersionsOfferTheDownloadPageOnlyOnYes) {
  for (const update_answers::Newer& newer : update_answers::kNewer) {
    EXPECT_EQ(Check(newer.answer, Synth::kAnswerNo), 0) << newer.answer;
    update_answers::ExpectNewer(Box(), newer.shown, "127.0.0.1");
  }
  EXPECT_TRUE(gui->webPagesOpened.empty()) << "No opens nothing";

  EXPECT_EQ(Check("1107", Synth::kAnswerYes), 0);
  ASSERT_EQ(gui->webPagesOpened.size(), 1u);
  EXPECT_EQ(gui->webPagesOpened[0], "http://127.0.0.1:" + std::to_string(port) + "/music/vst.html");
  EXPECT_EQ(gui->messageBoxesShown.size(), 4u) << "no box of the web page's own";
}

TEST_F(UpdateCheckTest, BadAnswersAndNoServerShowErrorBoxes) {
  EXPECT_EQ(Check("<html><body>404 Not Found</body></html>"), -3);
  update_answers::ExpectInvalidCall(Box(), "127.0.0.1");

  EXPECT_EQ(Check(""), -1);
  update_answers::ExpectContactError(Box(), "127.0.0.1");

  int closedPort;
  {
    OneShotServer gone("");  // binds a free port; the check below finds it closed
    closedPort = gone.Port();
  }
  ::setenv("RHYTHMORIA_UPDATE_SERVER", ("127.0.0.1:" + std::to_string(closedPort)).c_str(), 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(plug->CheckForUpdate(gui), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  update_answers::ExpectContactError(Box(), "127.0.0.1");
  EXPECT_TRUE(gui->webPagesOpened.empty());
}

TEST(UpdateServerTest, EnvironmentOverridesTheBuiltInServer) {
  const char* saved = std::getenv("RHYTHMORIA_UPDATE_SERVER");
  const std::optional<std::string> keep = saved ? std::optional<std::string>(saved) : std::nullopt;
  ::unsetenv("RHYTHMORIA_UPDATE_SERVER");
  const UpdateServer built = UpdateServer::Current();
  EXPECT_FALSE(built.host.empty());
  EXPECT_EQ(built.port, 80);
  EXPECT_EQ(built.DownloadPageUrl(), "http://" + built.host + "/music/vst.html");
  ::setenv("RHYTHMORIA_UPDATE_SERVER", "example.test", 1);
  EXPECT_EQ(UpdateServer::Current().HomePageUrl(), "http://example.test/");
  for (const char* bad : {"host:0", "host:99999", "host:8a", ":80", "a b", "host:"}) {
    ::setenv("RHYTHMORIA_UPDATE_SERVER", bad, 1);
    EXPECT_EQ(UpdateServer::Current().host, built.host) << bad;
  }
  if (keep) {
    ::setenv("RHYTHMORIA_UPDATE_SERVER", keep->c_str(), 1);
  } else {
    ::unsetenv("RHYTHMORIA_UPDATE_SERVER");
  }
}

}  // namespace
