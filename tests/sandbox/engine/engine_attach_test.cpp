// sp_attach_db and sp_detach_db: the lifecycle of the new year's database files.
#include <fstream>

#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

class AttachTest : public EngineTest {
 protected:
  // A detached stand-in database E2018 with one table, its files left in the data folder.
  void MakeDetachedE2018() {
    auto session = NewDatabase("E2018");
    Ok(*session, "CREATE TABLE DEPO(KODU nvarchar(10) NOT NULL, ADI nvarchar(50))");
    session.reset();
    auto master = engine_->OpenSession("master");
    Ok(*master, "sp_detach_db 'E2018'");
  }

  std::string DataFile() const { return (dir_.Path() / "E2018_Data.MDF").string(); }
  std::string LogFile() const { return (dir_.Path() / "E2018_Log.LDF").string(); }
};

TEST_F(AttachTest, DetachKeepsFilesAndAttachBringsTheDatabaseBack) {
  MakeDetachedE2018();
  EXPECT_TRUE(std::filesystem::exists(DataFile()));
  EXPECT_TRUE(std::filesystem::exists(LogFile()));
  auto master = engine_->OpenSession("master");
  RecordingSink gone = Run(*master, "USE E2018");
  ASSERT_EQ(gone.errors.size(), 1u);
  EXPECT_EQ(gone.errors[0].number, 911);
  Ok(*master, "EXEC sp_attach_db N'E2018', N'" + DataFile() + "', N'" + LogFile() + "'");
  auto session = engine_->OpenSession("E2018");
  Ok(*session, "INSERT INTO DEPO(KODU,ADI) VALUES('01','ANADEPO')");
}

TEST_F(AttachTest, DetachedFilesAreSelfContained) {
  MakeDetachedE2018();
  // Copies of the files, as the transfer takes them from its template folder.
  std::filesystem::create_directories(dir_.Path() / "copy");
  std::filesystem::copy_file(DataFile(), dir_.Path() / "copy" / "E2018_Data.MDF");
  std::filesystem::copy_file(LogFile(), dir_.Path() / "copy" / "E2018_Log.LDF");
  auto master = engine_->OpenSession("master");
  Ok(*master, "sp_attach_db 'Kopya','" + (dir_.Path() / "copy" / "E2018_Data.MDF").string() +
                  "', '" + (dir_.Path() / "copy" / "E2018_Log.LDF").string() + "'");
  auto session = engine_->OpenSession("Kopya");
  Ok(*session, "SELECT KODU, ADI FROM DEPO");
}

// A Windows client under Wine names the host's files from its drive Z:.
std::string AsWineDriveZ(const std::string& host_path) {
  std::string path = "Z:" + host_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

TEST_F(AttachTest, WindowsPathOfAWineClientOpensTheHostFile) {
  MakeDetachedE2018();
  auto master = engine_->OpenSession("master");
  Ok(*master, "EXEC sp_attach_db N'E2018', N'" + AsWineDriveZ(DataFile()) + "', N'" +
                  AsWineDriveZ(LogFile()) + "'");
  auto session = engine_->OpenSession("E2018");
  Ok(*session, "INSERT INTO DEPO(KODU,ADI) VALUES('01','ANADEPO')");
  // Attached under its host path: the same file named the host's way is already in use.
  RecordingSink again = Run(*master, "sp_attach_db 'Yine', '" + DataFile() + "'");
  ASSERT_FALSE(again.errors.empty());
  EXPECT_EQ(again.errors[0].number, 5120);
}

TEST_F(AttachTest, MissingWindowsPathIsReportedAsTheClientWroteIt) {
  const std::string missing = AsWineDriveZ((dir_.Path() / "yok" / "E2018_Data.MDF").string());
  auto master = engine_->OpenSession("master");
  RecordingSink sink = Run(*master, "sp_attach_db 'E2018', '" + missing + "'");
  ASSERT_EQ(sink.errors.size(), 2u);
  EXPECT_EQ(sink.errors[0].number, 5120);
  EXPECT_NE(std::string(sink.errors[0].what()).find(missing), std::string::npos)
      << sink.errors[0].what();
}

TEST_F(AttachTest, AttachUnderATakenNameFails1801) {
  MakeDetachedE2018();
  auto master = engine_->OpenSession("master");
  Ok(*master, "CREATE DATABASE E2018X");
  RecordingSink sink =
      Run(*master, "sp_attach_db 'E2018X','" + DataFile() + "', '" + LogFile() + "'");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 1801);
  EXPECT_STREQ(sink.errors[0].what(),
               "Database 'E2018X' already exists. Choose a different database name.");
}

TEST_F(AttachTest, AttachOfAMissingFileFails5120Then1802) {
  auto master = engine_->OpenSession("master");
  std::string missing = (dir_.Path() / "YOK_Data.MDF").string();
  RecordingSink sink = Run(*master, "sp_attach_db 'E2018','" + missing + "', '" + LogFile() + "'");
  ASSERT_EQ(sink.errors.size(), 2u);
  EXPECT_EQ(sink.errors[0].number, 5120);
  EXPECT_EQ(sink.errors[0].severity, 16);
  EXPECT_EQ(std::string(sink.errors[0].what()),
            "Unable to open the physical file \"" + missing +
                "\". Operating system error 2: \"2(The system cannot find the file specified.)\".");
  EXPECT_EQ(sink.errors[1].number, 1802);
  EXPECT_STREQ(sink.errors[1].what(),
               "CREATE DATABASE failed. Some file names listed could not be created. Check "
               "related errors.");
  ASSERT_EQ(sink.dones.size(), 1u);
  EXPECT_TRUE(sink.dones[0].error);
}

TEST_F(AttachTest, AttachOfAFileThatIsNoDatabaseIsRefused) {
  {
    std::ofstream(dir_.Path() / "bos_Data.MDF") << "not a database";
    std::ofstream(dir_.Path() / "bos_Log.LDF") << "log";
  }
  auto master = engine_->OpenSession("master");
  RecordingSink sink =
      Run(*master, "sp_attach_db 'bos','" + (dir_.Path() / "bos_Data.MDF").string() + "','" +
                       (dir_.Path() / "bos_Log.LDF").string() + "'");
  ASSERT_FALSE(sink.errors.empty());
  EXPECT_EQ(sink.errors[0].number, 5172);
  RecordingSink use = Run(*master, "USE bos");
  EXPECT_EQ(use.errors.at(0).number, 911);
}

TEST_F(AttachTest, DetachOfAnUnknownDatabaseFails15010) {
  auto master = engine_->OpenSession("master");
  RecordingSink sink = Run(*master, "sp_detach_db 'E2018'");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 15010);
  EXPECT_EQ(sink.errors[0].severity, 16);
  EXPECT_STREQ(sink.errors[0].what(),
               "The database 'E2018' does not exist. Supply a valid database name. To see "
               "available databases, use sys.databases.");
}

TEST_F(AttachTest, DetachOfADatabaseInUseFails3703) {
  auto user = NewDatabase("E2018");
  auto master = engine_->OpenSession("master");
  RecordingSink sink = Run(*master, "EXECUTE sp_detach_db 'E2018'");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 3703);
  EXPECT_STREQ(sink.errors[0].what(),
               "Cannot detach the database 'E2018' because it is currently in use.");
  user.reset();
  Ok(*master, "sp_detach_db 'E2018'");
}

TEST_F(AttachTest, AttachedDatabaseIsListedAfterRestart) {
  MakeDetachedE2018();
  {
    auto master = engine_->OpenSession("master");
    Ok(*master, "sp_attach_db 'E2018','" + DataFile() + "', '" + LogFile() + "'");
  }
  Restart();
  auto session = engine_->OpenSession("E2018");
  EXPECT_EQ(session->CurrentDatabase(), "E2018");
}

TEST_F(AttachTest, ProcedureWithoutExecOnlyAsFirstStatement) {
  auto master = engine_->OpenSession("master");
  RecordingSink sink = Run(*master, "SELECT 1\nsp_detach_db 'E2018'");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].severity, 15);  // a syntax error
  EXPECT_TRUE(sink.results.empty());       // nothing of a batch that does not compile runs
}

TEST_F(AttachTest, UnknownProcedureFails2812) {
  auto master = engine_->OpenSession("master");
  RecordingSink sink = Run(*master, "sp_yok 'x'");
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].number, 2812);
  EXPECT_STREQ(sink.errors[0].what(), "Could not find stored procedure 'sp_yok'.");
}

}  // namespace
}  // namespace sandbox::testing
