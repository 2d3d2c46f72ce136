// The texts of registration and attach: every year text derives from the year, and no name
// or path can leave its quotes.
#include <gtest/gtest.h>

#include "target/attach.h"
#include "target/data_folder.h"
#include "target/registration.h"
#include "target/target_year.h"

namespace devir::target {
namespace {

TEST(RegistryStatementsTest, NameTheYearsDatabaseAndYear) {
  EXPECT_EQ(RegistryDeleteStatement(kTargetYear), "DELETE FROM sirketler WHERE SirketAdi=N'E2018'");
  EXPECT_EQ(RegistryInsertStatement(kTargetYear),
            "INSERT INTO sirketler(SirketAdi,CalismaYili,DBAdi) Values(N'E2018',N'2018',N'E2018')");
  EXPECT_EQ(RegistryDeleteStatement(2025), "DELETE FROM sirketler WHERE SirketAdi=N'E2025'");
  EXPECT_EQ(RegistryInsertStatement(2025),
            "INSERT INTO sirketler(SirketAdi,CalismaYili,DBAdi) Values(N'E2025',N'2025',N'E2025')");
}

TEST(AttachStatementTest, QuotesTheNameAndBothPaths) {
  struct Case {
    std::string folder;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\Miltoran\\Data\\",
       "sp_attach_db N'E2018',N'C:\\Miltoran\\Data\\E2018_Data.MDF', "
       "N'C:\\Miltoran\\Data\\E2018_Log.LDF'"},
      {"/var/opt/mssql/data/",
       "sp_attach_db N'E2018',N'/var/opt/mssql/data/E2018_Data.MDF', "
       "N'/var/opt/mssql/data/E2018_Log.LDF'"},
      {"D:\\O'Brien's\\",
       "sp_attach_db N'E2018',N'D:\\O''Brien''s\\E2018_Data.MDF', "
       "N'D:\\O''Brien''s\\E2018_Log.LDF'"},
      {"x','y'; DROP DATABASE E2017; --\\",
       "sp_attach_db N'E2018',N'x'',''y''; DROP DATABASE E2017; --\\E2018_Data.MDF', "
       "N'x'',''y''; DROP DATABASE E2017; --\\E2018_Log.LDF'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    const TargetFiles files = TargetFilesIn(c.folder, kTargetYear);
    EXPECT_EQ(AttachStatement(TargetDatabaseName(), files.data_file, files.log_file), c.expected);
  }
}

TEST(DataFolderTest, GetsItsFinalSeparatorOnce) {
  struct Case {
    std::string folder;
    char separator;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\Miltoran\\Data", '\\', "C:\\Miltoran\\Data\\"},
      {"C:\\Miltoran\\Data\\", '\\', "C:\\Miltoran\\Data\\"},
      {"", '\\', "\\"},
      {"C:/Data/", '\\', "C:/Data/\\"},  // a forward slash is no backslash
      {"/var/opt/mssql/data", '/', "/var/opt/mssql/data/"},
      {"/var/opt/mssql/data/", '/', "/var/opt/mssql/data/"},
      {"", '/', "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(WithFinalSeparator(c.folder, c.separator), c.expected);
  }
}

TEST(DataFolderTest, FileNamesFollowTheYear) {
  EXPECT_EQ(DataFileName(2018), "E2018_Data.MDF");
  EXPECT_EQ(LogFileName(2018), "E2018_Log.LDF");
  EXPECT_EQ(DataFileName(2031), "E2031_Data.MDF");
  const TargetFiles files = TargetFilesIn("/d/", 2031);
  EXPECT_EQ(files.data_file, "/d/E2031_Data.MDF");
  EXPECT_EQ(files.log_file, "/d/E2031_Log.LDF");
}

TEST(TargetYearTest, DefaultsNameTheYearAndTheOneBefore) {
  EXPECT_EQ(TargetDatabaseName(), "E2018");
  EXPECT_EQ(SourceDatabaseName(), "E2017");
  EXPECT_EQ(TargetDatabaseName(2020), "E2020");
  EXPECT_EQ(SourceDatabaseName(2020), "E2019");
}

}  // namespace
}  // namespace devir::target
