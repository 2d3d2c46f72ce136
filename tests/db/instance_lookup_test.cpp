// The SQL Server Browser lookup devir makes itself: the answer read for the instance asked
// for, a silent Browser named within seconds instead of FreeTDS's sixteen.
#include "db/instance_lookup.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/database_error.h"

namespace devir::db {
namespace {

using namespace std::chrono_literals;

std::string Answer(const std::string& text) {
  return std::string{0x05, static_cast<char>(text.size() & 0xFF),
                     static_cast<char>(text.size() >> 8)} +
         text;
}

TEST(BrowserAnswerTest, GivesThePortOfTheInstanceAskedFor) {
  const std::string one =
      Answer("ServerName;DB1;InstanceName;SQLEXPRESS;IsClustered;No;Version;16.0;tcp;49172;;");
  EXPECT_EQ(InstancePortFromBrowserAnswer(one, "SQLEXPRESS"), 49172);
  EXPECT_EQ(InstancePortFromBrowserAnswer(one, "sqlexpress"), 49172);
  EXPECT_EQ(InstancePortFromBrowserAnswer(one, "OTHER"), std::nullopt);

  const std::string two = Answer(
      "ServerName;DB1;InstanceName;A;IsClustered;No;Version;16.0;tcp;1500;;"
      "ServerName;DB1;InstanceName;B;IsClustered;No;Version;16.0;np;\\\\DB1\\pipe\\x;tcp;1600;;");
  EXPECT_EQ(InstancePortFromBrowserAnswer(two, "A"), 1500);
  EXPECT_EQ(InstancePortFromBrowserAnswer(two, "B"), 1600);
}

TEST(BrowserAnswerTest, RefusesWhatIsNoAnswer) {
  for (const std::string& answer :
       {std::string(), std::string("\x05"), Answer("InstanceName;A;tcp;;;"),
        Answer("InstanceName;A;tcp;0;;"), Answer("InstanceName;A;tcp;70000;;"),
        Answer("InstanceName;A;np;x;;"), "\x04" + Answer("InstanceName;A;tcp;1500;;").substr(1)}) {
    SCOPED_TRACE(::testing::PrintToString(answer));
    EXPECT_EQ(InstancePortFromBrowserAnswer(answer, "A"), std::nullopt);
  }
}

// A UDP socket on a free loopback port that answers each request with `reply` (or keeps
// quiet when it is empty), until destroyed.
class FakeBrowser {
 public:
  explicit FakeBrowser(std::string reply) : reply_(std::move(reply)) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakeBrowser() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }
  int Port() const { return port_; }
  int Requests() const { return requests_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd ready{fd_, POLLIN, 0};
      if (poll(&ready, 1, 50) <= 0) continue;
      char buffer[512];
      sockaddr_in from{};
      socklen_t length = sizeof from;
      if (recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) <=
          0) {
        continue;
      }
      ++requests_;
      if (!reply_.empty()) {
        sendto(fd_, reply_.data(), reply_.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
      }
    }
  }

  std::string reply_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

TEST(InstanceLookupTest, AnsweredLookupGivesThePort) {
  FakeBrowser browser(Answer("ServerName;H;InstanceName;SQLEXPRESS;tcp;41433;;"));
  EXPECT_EQ(LookUpInstancePort("127.0.0.1", "SQLEXPRESS", 3s, browser.Port()), 41433);
}

TEST(InstanceLookupTest, ASilentBrowserIsNamedWithTheInstanceAndAskedAgainEachSecond) {
  FakeBrowser browser("");
  const auto started = std::chrono::steady_clock::now();
  try {
    LookUpInstancePort("127.0.0.1", "MUHASEBE", 2500ms, browser.Port());
    FAIL() << "a silent Browser gave a port";
  } catch (const DatabaseError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("SQL Server Browser"), std::string::npos) << message;
    EXPECT_NE(message.find("'MUHASEBE'"), std::string::npos) << message;
    EXPECT_NE(message.find("127.0.0.1,PORT"), std::string::npos) << message;
  }
  EXPECT_GE(std::chrono::steady_clock::now() - started, 2500ms);
  EXPECT_EQ(browser.Requests(), 3);
}

// Through the client as the window uses it: FreeTDS alone would retry for sixteen seconds.
TEST(InstanceLookupTest, AConnectionToAnUnansweredInstanceFailsNamingTheBrowser) {
  Connection connection;
  connection.SetConnectionString(BuildAdoConnectionString(
      {"SQLOLEDB", "E2017", "127.0.0.1\\DEVIR_YOK_INSTANCE", "sa", "qolvanet"}));
  const auto started = std::chrono::steady_clock::now();
  try {
    connection.Connect();
    FAIL() << "connected";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("SQL Server Browser"), std::string::npos)
        << error.what();
    EXPECT_NE(std::string(error.what()).find("'DEVIR_YOK_INSTANCE'"), std::string::npos)
        << error.what();
  }
  // Four seconds by design; the bound leaves room for a loaded machine, not for sixteen.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 9s);
}

}  // namespace
}  // namespace devir::db
