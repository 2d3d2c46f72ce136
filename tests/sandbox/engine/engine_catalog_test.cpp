// The server's list of databases: CREATE/DROP DATABASE, USE, logins, and what survives a
// restart of the engine.
#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

std::vector<std::string> DatabaseNames(Session& session) {
  RecordingSink sink =
      EngineTest::Ok(session, "SELECT name FROM sys.databases ORDER BY database_id");
  std::vector<std::string> names;
  for (const Row& row : sink.results.at(0).rows) names.push_back(std::get<std::string>(row[0]));
  return names;
}

TEST_F(EngineTest, CreateDatabaseMakesDataAndLogFilesAndListsIt) {
  auto master = engine_->OpenSession("master");
  Ok(*master, "CREATE DATABASE sirketambar");
  EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "sirketambar_Data.MDF"));
  EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "sirketambar_Log.LDF"));
  EXPECT_EQ(DatabaseNames(*master), (std::vector<std::string>{"master", "sirketambar"}));
}

TEST_F(EngineTest, DatabasesAndTheirTablesSurviveANewEngine) {
  {
    auto session = NewDatabase("sirketambar");
    Ok(*session,
       "CREATE TABLE sirketler(ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, "
       "SirketAdi nvarchar(50) NOT NULL)\n"
       "INSERT INTO sirketler(SirketAdi) VALUES('E2017')");
  }
  Restart();
  auto master = engine_->OpenSession("master");
  EXPECT_EQ(DatabaseNames(*master), (std::vector<std::string>{"master", "sirketambar"}));
  auto session = engine_->OpenSession("sirketambar");
  RecordingSink sink = Ok(*session, "SELECT SirketAdi FROM sirketler");
  EXPECT_EQ(sink.Scalar(), Value{std::string("E2017")});
}

TEST_F(EngineTest, DatabaseNamesAreCaseInsensitive) {
  NewDatabase("E2017");
  auto session = engine_->OpenSession("e2017");
  EXPECT_EQ(session->CurrentDatabase(), "E2017");
}

TEST_F(EngineTest, CreateExistingDatabaseFails1801) {
  auto master = engine_->OpenSession("master");
  Ok(*master, "CREATE DATABASE E2017");
  RecordingSink sink = Run(*master, "CREATE DATABASE e2017");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 1801);
  EXPECT_EQ(sink.errors[0].severity, 16);
  EXPECT_STREQ(sink.errors[0].what(),
               "Database 'e2017' already exists. Choose a different database name.");
}

TEST_F(EngineTest, DropDatabaseRemovesItsFiles) {
  auto master = engine_->OpenSession("master");
  Ok(*master, "CREATE DATABASE Gecici");
  Ok(*master, "DROP DATABASE Gecici");
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "Gecici_Data.MDF"));
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "Gecici_Log.LDF"));
  EXPECT_EQ(DatabaseNames(*master), (std::vector<std::string>{"master"}));
}

TEST_F(EngineTest, DropDatabaseInUseFails3702) {
  auto user = NewDatabase("Gecici");
  auto master = engine_->OpenSession("master");
  RecordingSink sink = Run(*master, "DROP DATABASE Gecici");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 3702);
  EXPECT_STREQ(sink.errors[0].what(),
               "Cannot drop database \"Gecici\" because it is currently in use.");
  user.reset();
  Ok(*master, "DROP DATABASE Gecici");
}

TEST_F(EngineTest, DropUnknownDatabaseFails3701) {
  auto master = engine_->OpenSession("master");
  RecordingSink sink = Run(*master, "DROP DATABASE Yok");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 3701);
  EXPECT_STREQ(sink.errors[0].what(),
               "Cannot drop the database 'Yok', because it does not exist or you do not have "
               "permission.");
}

TEST_F(EngineTest, UseChangesDatabaseWithEnvChangeAndInfo5701) {
  NewDatabase("E2017");
  auto session = engine_->OpenSession("master");
  RecordingSink sink = Ok(*session, "USE E2017");
  EXPECT_EQ(sink.databases, (std::vector<std::string>{"E2017"}));
  ASSERT_EQ(sink.infos.size(), 1u);
  EXPECT_EQ(sink.infos[0].number, 5701);
  EXPECT_EQ(sink.infos[0].message, "Changed database context to 'E2017'.");
  EXPECT_EQ(session->CurrentDatabase(), "E2017");
  EXPECT_EQ(Ok(*session, "SELECT DB_NAME()").Scalar(), Value{std::string("E2017")});
}

TEST_F(EngineTest, UseUnknownDatabaseFails911AndKeepsTheOld) {
  auto session = engine_->OpenSession("master");
  RecordingSink sink = Run(*session, "USE Yok");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 911);
  EXPECT_STREQ(sink.errors[0].what(),
               "Database 'Yok' does not exist. Make sure that the name is entered correctly.");
  EXPECT_EQ(session->CurrentDatabase(), "master");
}

TEST_F(EngineTest, LoginChecksUserAndPassword) {
  EXPECT_NE(engine_->Login("sa", "Secret1!", ""), nullptr);
  try {
    engine_->Login("sa", "wrong", "");
    FAIL() << "login with a wrong password succeeded";
  } catch (const SqlError& e) {
    EXPECT_EQ(e.number, 18456);
    EXPECT_EQ(e.severity, 14);
    EXPECT_EQ(e.state, 1);
    EXPECT_STREQ(e.what(), "Login failed for user 'sa'.");
  }
}

TEST_F(EngineTest, LoginToUnknownDatabaseFails4060) {
  try {
    engine_->Login("sa", "Secret1!", "E2018");
    FAIL() << "login to a missing database succeeded";
  } catch (const SqlError& e) {
    EXPECT_EQ(e.number, 4060);
    EXPECT_EQ(e.severity, 11);
    EXPECT_STREQ(e.what(),
                 "Cannot open database \"E2018\" requested by the login. The login failed.");
  }
}

TEST_F(EngineTest, LoginStartsInTheRequestedDatabase) {
  NewDatabase("E2017");
  auto session = engine_->Login("sa", "Secret1!", "E2017");
  EXPECT_EQ(session->CurrentDatabase(), "E2017");
  EXPECT_EQ(engine_->Login("sa", "Secret1!", "")->CurrentDatabase(), "master");
}

TEST_F(EngineTest, HiddenTablesAreInvisible) {
  auto session = NewDatabase("E2017");
  RecordingSink sink = Run(*session, "SELECT * FROM __devir_columns");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 208);
  RecordingSink tables = Ok(*session, "SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES");
  EXPECT_EQ(tables.Scalar(), Value{std::int64_t{0}});
}

TEST_F(EngineTest, SaHoldsEveryServerRoleAnotherLoginNone) {
  NewDatabase("E2017");
  engine_.reset();
  engine_ = std::make_unique<Engine>(
      dir_.Path(), std::vector<struct Engine::Login>{{"sa", "Secret1!"}, {"muhasebe", "Gizli1!"}});
  const char* sql = "SELECT IS_SRVROLEMEMBER('sysadmin'), IS_SRVROLEMEMBER('dbcreator')";
  auto sa = engine_->Login("sa", "Secret1!", "E2017");
  EXPECT_EQ(Ok(*sa, sql).results.at(0).rows.at(0), (Row{std::int64_t{1}, std::int64_t{1}}));
  auto other = engine_->Login("muhasebe", "Gizli1!", "E2017");
  EXPECT_EQ(Ok(*other, sql).results.at(0).rows.at(0), (Row{std::int64_t{0}, std::int64_t{0}}));
}

// A rowversion column is found by its type in the catalogue, as SQL Server's own views
// describe it, whatever name a driver reports for it.
TEST_F(EngineTest, SysColumnsJoinSysTypesNamesEachColumnsTypeAndIdentity) {
  auto session = NewDatabase("E2017");
  Ok(*session,
     "CREATE TABLE STOK(ID int IDENTITY(1,1) NOT NULL PRIMARY KEY, STOKADI nvarchar(100) NULL, "
     "SURUM rowversion)");
  RecordingSink sink = Ok(*session,
                          "SELECT c.name, t.name AS type_name, c.is_identity FROM sys.columns c "
                          "JOIN sys.types t ON t.user_type_id = c.system_type_id "
                          "WHERE c.object_id = OBJECT_ID(N'STOK') ORDER BY c.column_id");
  const std::vector<Row> expected = {
      {std::string("ID"), std::string("int"), std::int64_t{1}},
      {std::string("STOKADI"), std::string("nvarchar"), std::int64_t{0}},
      {std::string("SURUM"), std::string("timestamp"), std::int64_t{0}},
  };
  EXPECT_EQ(sink.results.at(0).rows, expected);
}

}  // namespace
}  // namespace sandbox::testing
