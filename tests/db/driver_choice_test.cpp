#include <gtest/gtest.h>

#include "db/database_error.h"
#include "db/odbc/driver.h"

namespace devir::db::odbc {
namespace {

bool NoFiles(const std::filesystem::path&) {
  return false;
}

TEST(DriverChoice, EnvironmentOverrideWinsOverEverything) {
  EXPECT_EQ(PickDriver(std::string("/opt/tds/libtdsodbc.so"), {"FreeTDS"}, NoFiles),
            "/opt/tds/libtdsodbc.so");
}

TEST(DriverChoice, EmptyOverrideIsIgnored) {
  EXPECT_EQ(PickDriver(std::string(), {PreferredDriverNames().front()}, NoFiles),
            PreferredDriverNames().front());
}

TEST(DriverChoice, PreferenceOrderDecidesNotInstallOrder) {
  std::vector<std::string> installed(PreferredDriverNames().rbegin(),
                                     PreferredDriverNames().rend());
  installed.insert(installed.begin(), "PostgreSQL Unicode");
  EXPECT_EQ(PickDriver(std::nullopt, installed, NoFiles), PreferredDriverNames().front());
}

#ifndef _WIN32
TEST(DriverChoice, RegisteredNameMatchesIgnoringCase) {
  EXPECT_EQ(PickDriver(std::nullopt, {"freetds"}, NoFiles), "freetds");
}

TEST(DriverChoice, FallsBackToTheFirstLibraryFoundOnDisk) {
  const auto& paths = KnownFreeTdsLibraryPaths();
  ASSERT_GE(paths.size(), 2u);
  const std::filesystem::path second = paths[1];
  EXPECT_EQ(PickDriver(std::nullopt, {"PostgreSQL"},
                       [&](const std::filesystem::path& p) { return p == second; }),
            second.string());
}
#endif

TEST(DriverChoice, NothingFoundSaysWhatWasTriedAndHowToChoose) {
  try {
    PickDriver(std::nullopt, {}, NoFiles);
    ADD_FAILURE() << "no error";
  } catch (const DatabaseError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find(PreferredDriverNames().front()), std::string::npos) << message;
    EXPECT_NE(message.find("DEVIR_ODBC_DRIVER"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace devir::db::odbc
