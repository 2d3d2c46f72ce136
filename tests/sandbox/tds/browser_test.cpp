#include "sandbox/tds/browser.h"

#include <gtest/gtest.h>

namespace sandbox::tds {
namespace {

TEST(BrowserReply, AnswersWithTheInstanceAndPort) {
  const std::string data =
      "ServerName;HOST;InstanceName;SQLEXPRESS;IsClustered;No;Version;16.0.1000.6;tcp;1433;;";
  const auto reply = BrowserReply(std::string("\x04SQLEXPRESS\0", 12), "SQLEXPRESS", "HOST", 1433);
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply,
            std::string("\x05", 1) + static_cast<char>(data.size()) + std::string(1, '\0') + data);
}

TEST(BrowserReply, MatchesTheInstanceCaseInsensitivelyAndIgnoresOthers) {
  EXPECT_TRUE(BrowserReply(std::string("\x04SqlExpress", 11), "SQLEXPRESS", "H", 1433));
  EXPECT_FALSE(BrowserReply(std::string("\x04SQLEXPRES", 10), "SQLEXPRESS", "H", 1433));
  EXPECT_FALSE(BrowserReply("\x0F", "SQLEXPRESS", "H", 1433));
  EXPECT_FALSE(BrowserReply("", "SQLEXPRESS", "H", 1433));
  EXPECT_TRUE(BrowserReply("\x02", "SQLEXPRESS", "H", 1433));
}

}  // namespace
}  // namespace sandbox::tds
