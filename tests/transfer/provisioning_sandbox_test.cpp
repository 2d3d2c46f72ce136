// Registration and attach against the stand-in: one registry row however often it runs, the
// template copied without replacing earlier files, and failures placed at their stage.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/database_error.h"
#include "db/query.h"
#include "db/statement_runner.h"
#include "target/registration.h"
#include "target/target_year.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_folder.h"
#include "transfer/provisioning.h"

namespace devir::transfer {
namespace {

using target::kTargetYear;
using target::TemplateCopyResult;

namespace fs = std::filesystem;
using devir::testing::SandboxProcess;

class ProvisioningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox_ = std::make_unique<SandboxProcess>();
    ASSERT_EQ(SandboxProcess::RunTool({"template", "--out", templates_.string()}), 0);
    login_ = {sandbox_->DataSource(), "sa", "qolvanet"};
  }

  std::string DataFolder() const { return sandbox_->DataDir().string() + "/"; }

  // Runs ProvisionTarget with the stand-in's data folder, recording the stages.
  TemplateCopyResult Provision(const fs::path& templates) {
    return ProvisionTarget(connection_, login_, DataFolder(), {templates}, kTargetYear,
                           [this](const std::string& stage) { stages_.push_back(stage); });
  }

  std::string ReadOne(const std::string& database, const std::string& sql) {
    db::Connection reader;
    reader.SetConnectionString(db::RunnerConnectionString(login_, database));
    reader.Connect();
    db::Query query(reader);
    query.SetSql(sql);
    query.Open();
    return query.Eof() ? std::string("<none>") : query.FieldAt(0).AsText();
  }

  void Run(const std::string& database, const std::string& sql) {
    db::Connection connection;
    db::RunOnDatabase(connection, login_, database, sql);
  }

  std::unique_ptr<SandboxProcess> sandbox_;
  devir::testing::TempFolder template_folder_{"devir-template-"};
  fs::path templates_ = template_folder_.Path();
  db::ServerLogin login_;
  db::Connection connection_;
  std::vector<std::string> stages_;
};

TEST_F(ProvisioningTest, RegistersCopiesAndAttachesTheNewYear) {
  const TemplateCopyResult copies = Provision(templates_);

  EXPECT_EQ(stages_, (std::vector<std::string>{"şirket", "attach"}));
  EXPECT_EQ(copies.copied.size(), 2u);
  EXPECT_TRUE(copies.kept.empty());
  EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
  EXPECT_TRUE(fs::exists(sandbox_->DataDir() / "E2018_Log.LDF"));
  EXPECT_EQ(ReadOne("master", "SELECT COUNT(*) FROM sys.databases WHERE name = 'E2018'"), "1");
  EXPECT_EQ(ReadOne("E2018", "SELECT COUNT(*) FROM STOK"), "0");
  EXPECT_EQ(ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler WHERE SirketAdi = 'E2018'"),
            "1");
  EXPECT_EQ(ReadOne("sirketambar",
                    "SELECT CalismaYili + '/' + DBAdi FROM sirketler WHERE SirketAdi = 'E2018'"),
            "2018/E2018");
  EXPECT_FALSE(connection_.Connected());
}

TEST_F(ProvisioningTest, RegisteringTwiceLeavesOneRowAndKeepsTheOthers) {
  const std::string others = ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler");
  for (int run = 0; run < 2; ++run) {
    target::PendingRegistration registration(login_, kTargetYear, 30);
    registration.Commit();
  }
  EXPECT_EQ(ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler WHERE SirketAdi = 'E2018'"),
            "1");
  EXPECT_EQ(ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler WHERE SirketAdi <> 'E2018'"),
            others);
}

TEST_F(ProvisioningTest, FilesOfAnEarlierRunAreAttachedNotReplaced) {
  Provision(templates_);
  Run("E2018", "INSERT INTO DEPO(KODU,ADI) VALUES('07','ESKI')");
  Run("master", "sp_detach_db 'E2018'");
  stages_.clear();

  const TemplateCopyResult copies = Provision(templates_);

  EXPECT_TRUE(copies.copied.empty());
  EXPECT_EQ(copies.kept.size(), 2u);
  EXPECT_EQ(ReadOne("E2018", "SELECT ADI FROM DEPO WHERE KODU = '07'"), "ESKI");
  EXPECT_EQ(ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler WHERE SirketAdi = 'E2018'"),
            "1");
}

TEST_F(ProvisioningTest, AnAttachedTargetFailsAtAttachWithTheServersMessage) {
  Provision(templates_);
  stages_.clear();
  try {
    Provision(templates_);
    FAIL() << "attached twice";
  } catch (const db::DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("Database 'E2018' already exists"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(stages_.back(), "attach");
}

// The template is looked for before anything changes: its absence names the places looked
// in, and neither the registry nor the data folder is touched.
TEST_F(ProvisioningTest, AMissingTemplateFailsAtRegistryBeforeAnythingChanges) {
  try {
    Provision(templates_ / "yok");
    FAIL() << "attached without files";
  } catch (const std::runtime_error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("E2018_Data.MDF"), std::string::npos) << message;
    EXPECT_NE(message.find((templates_ / "yok").string()), std::string::npos) << message;
  }
  EXPECT_EQ(stages_, (std::vector<std::string>{"şirket"}));
  EXPECT_FALSE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
  EXPECT_EQ(ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler WHERE SirketAdi = 'E2018'"),
            "0");
}

// With the files of an earlier run in place, no template is needed.
TEST_F(ProvisioningTest, FilesInPlaceNeedNoTemplate) {
  Provision(templates_);
  Run("master", "sp_detach_db 'E2018'");
  EXPECT_NO_THROW(Provision(templates_ / "yok"));
  EXPECT_EQ(ReadOne("master", "SELECT COUNT(*) FROM sys.databases WHERE name = 'E2018'"), "1");
}

// An uncommitted registration is seen by nobody and undone when it goes.
TEST_F(ProvisioningTest, AnUncommittedRegistrationLeavesTheRegistryAsItWas) {
  Run("sirketambar", "DELETE FROM sirketler WHERE SirketAdi = 'E2018'");
  { target::PendingRegistration registration(login_, kTargetYear, 30); }
  EXPECT_EQ(ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler WHERE SirketAdi = 'E2018'"),
            "0");
}

// A template the server cannot attach: the registry is as it was and the copies are gone, so
// that the next run copies afresh rather than attaching the same damaged files.
TEST_F(ProvisioningTest, AFailedAttachLeavesNoRegistryRowAndNoCopies) {
  const std::string registry = ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler");
  std::ofstream(templates_ / "E2018_Data.MDF", std::ios::binary | std::ios::trunc)
      << "not a database";
  EXPECT_THROW(Provision(templates_), db::DatabaseError);
  EXPECT_EQ(stages_.back(), "attach");
  EXPECT_EQ(ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler"), registry);
  EXPECT_EQ(ReadOne("sirketambar", "SELECT COUNT(*) FROM sirketler WHERE SirketAdi = 'E2018'"),
            "0");
  EXPECT_FALSE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
  EXPECT_FALSE(fs::exists(sandbox_->DataDir() / "E2018_Log.LDF"));
}

// Letters outside the server's code page in the data folder reach the server unchanged.
TEST_F(ProvisioningTest, ADataFolderOutsideTheCodePageIsAttached) {
  const fs::path folder = sandbox_->DataDir() / "Данные Ωμέγα 数据";
  fs::create_directories(folder);
  ProvisionTarget(connection_, login_, folder.string() + "/", {templates_}, kTargetYear,
                  [](const std::string&) {});
  EXPECT_TRUE(fs::exists(folder / "E2018_Data.MDF"));
  EXPECT_EQ(ReadOne("E2018", "SELECT COUNT(*) FROM STOK"), "0");
}

}  // namespace
}  // namespace devir::transfer
