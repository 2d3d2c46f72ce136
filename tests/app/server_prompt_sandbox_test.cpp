// The "Soru" prompt loop of ConnectToSource against the stand-in, through the real client.
#include "app/server_prompt.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/database_error.h"
#include "db/query.h"
#include "tests/support/sandbox_process.h"

namespace devir::app {
namespace {

using db::Connection;
using db::DatabaseError;
using db::Query;
using devir::testing::SandboxProcess;

constexpr char kUser[] = "sa";
constexpr char kPassword[] = "qolvanet";

class RecordingPrompt : public ServerPrompt {
 public:
  struct Call {
    std::string caption, text, default_answer;
    int max_length;
  };
  explicit RecordingPrompt(std::string answer) : answer_(std::move(answer)) {}

  std::string InputBox(std::string_view caption, std::string_view text,
                       std::string_view default_answer, int max_length) override {
    calls.push_back(
        {std::string(caption), std::string(text), std::string(default_answer), max_length});
    // A second prompt would mean a second attempt; answer it with the end of the process.
    if (calls.size() > 1) EndProcess();
    return answer_;
  }
  [[noreturn]] void EndProcess() override { throw std::logic_error("process ended"); }

  std::vector<Call> calls;

 private:
  std::string answer_;
};

class ServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sandbox_ = std::make_unique<SandboxProcess>(); }
  static void TearDownTestSuite() { sandbox_.reset(); }

  static std::string Server() { return sandbox_->DataSource(); }

  static inline std::unique_ptr<SandboxProcess> sandbox_;
};

TEST_F(ServerTest, ConnectToSourceAsksOnceAndConnectsToTheSourceDatabase) {
  Connection connection;
  RecordingPrompt prompt(Server());
  const std::string server = ConnectToSource(
      connection,
      [] {
        return SourceFields{"E2017", kUser, kPassword};
      },
      prompt);
  EXPECT_EQ(server, Server());
  ASSERT_EQ(prompt.calls.size(), 1u);
  EXPECT_EQ(prompt.calls[0].caption, "Soru");
  EXPECT_EQ(prompt.calls[0].text, "Ana bilgisayar adresini girin -- İptal etmek için boş bırakın");
  EXPECT_EQ(prompt.calls[0].default_answer, ".\\SQLExpress");
  EXPECT_EQ(prompt.calls[0].max_length, 255);
  ASSERT_TRUE(connection.Connected());
  Query query(connection);
  query.SetSql("SELECT DB_NAME()");
  query.Open();
  ASSERT_FALSE(query.Eof());
  EXPECT_EQ(query.FieldAt(0).AsText(), "E2017");
}

TEST_F(ServerTest, ConnectToSourceWithWrongPasswordFailsAfterOneAttempt) {
  Connection connection;
  RecordingPrompt prompt(Server());
  try {
    ConnectToSource(
        connection,
        [] {
          return SourceFields{"E2017", kUser, "yanlis"};
        },
        prompt);
    FAIL() << "connected with a wrong password";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("Login failed for user 'sa'"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(prompt.calls.size(), 1u);
  EXPECT_FALSE(connection.Connected());
}

}  // namespace
}  // namespace devir::app
