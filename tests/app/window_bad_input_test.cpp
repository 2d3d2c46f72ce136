// The window's fields and the server prompt given what users mistype and what hostile input
// looks like, each with what the window shows: the stage label and the cause, then "Bitti";
// or, for what is merely unusual, a finished transfer. After every case the source is as it
// was and a failed run left no database, registry row or file behind.
#include <gtest/gtest.h>

#include <QPushButton>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "app/fdevir.h"
#include "app/labeled_edit.h"
#include "tests/app/scoped_home.h"
#include "tests/app/scripted_dialogs.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/transfer_checks.h"

namespace devir::app {
namespace {

namespace fs = std::filesystem;
namespace checks = devir::testing;
using devir::testing::SandboxProcess;
using testing::FixedClock;
using testing::ScopedHome;
using testing::ScriptedDialogs;

struct WindowInput {
  const char* name;
  std::function<void(TFdevir&, const fs::path& data)> type;  ///< what the user types
  std::optional<std::string> answer;  ///< at the prompt; nullopt: the stand-in's address
  QString first_message;              ///< how the first message begins
  QString message_has;                ///< and what it holds
  bool carried = false;               ///< the transfer finished
};

std::ostream& operator<<(std::ostream& out, const WindowInput& c) {
  return out << c.name;
}

QString Q(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

class WindowBadInputTest : public ::testing::TestWithParam<WindowInput> {
 protected:
  static void SetUpTestSuite() {
    sandbox_ = std::make_unique<SandboxProcess>();
    fs::create_directories(sandbox_->DataDir() / "Данные");
    source_rows_ = checks::CountCarriedRows(sandbox_->DataSource(), "E2017");
    registry_rows_ = checks::CountRows(sandbox_->DataSource(), "sirketambar", "sirketler");
  }
  static void TearDownTestSuite() { sandbox_.reset(); }

  static inline std::unique_ptr<SandboxProcess> sandbox_;
  static inline std::map<std::string, long long> source_rows_;
  static inline long long registry_rows_ = 0;
};

TEST_P(WindowBadInputTest, ShowsTheCauseAndLeavesNothingBehind) {
  const WindowInput& c = GetParam();
  const std::string server = sandbox_->DataSource();
  ScopedHome home;
  ScriptedDialogs dialogs;
  FixedClock clock{QDate(2018, 6, 15)};
  TFdevir window{dialogs, clock};
  window.LabeledEdit3->setText(Q(sandbox_->DataDir().string() + "/"));
  if (c.type) c.type(window, sandbox_->DataDir());
  dialogs.answers = {c.answer.value_or(server)};
  window.show();

  window.Button1->click();

  if (c.carried) {
    EXPECT_EQ(dialogs.messages, QStringList{"Bitti"});
  } else {
    ASSERT_EQ(dialogs.messages.size(), 2) << dialogs.messages.join(" | ").toStdString();
    EXPECT_TRUE(dialogs.messages[0].startsWith(c.first_message))
        << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.messages[0].contains(c.message_has)) << dialogs.messages[0].toStdString();
    EXPECT_EQ(dialogs.messages[1], "Bitti");
  }
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(checks::CountCarriedRows(server, "E2017"), source_rows_);
  if (c.carried) {
    ASSERT_TRUE(checks::DatabaseAttached(server, "E2018"));
    checks::RunSql(server, "master", "sp_detach_db 'E2018'");
    checks::RunSql(server, "sirketambar", "DELETE FROM sirketler WHERE SirketAdi = 'E2018'");
    for (const auto& entry : fs::recursive_directory_iterator(sandbox_->DataDir())) {
      if (entry.path().filename().string().starts_with("E2018_")) fs::remove(entry.path());
    }
  } else {
    EXPECT_FALSE(checks::DatabaseAttached(server, "E2018"));
    EXPECT_EQ(checks::CountRows(server, "sirketambar", "sirketler"), registry_rows_);
    for (const auto& entry : fs::recursive_directory_iterator(sandbox_->DataDir())) {
      EXPECT_FALSE(entry.path().filename().string().starts_with("E2018_")) << entry.path();
    }
  }
}

const QString kConnect = "veritabanına bağlanılamadı\r\n";

void Source(TFdevir& window, const QString& text) {
  window.LabeledEdit1->setText(text);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, WindowBadInputTest,
    ::testing::Values(
        WindowInput{"EmptySourceReadsNoYear",
                    [](TFdevir& w, const fs::path&) { Source(w, ""); },
                    {},
                    "stok tablosu\r\n",
                    "STOK"},
        WindowInput{"NoSuchSource",
                    [](TFdevir& w, const fs::path&) { Source(w, "YOK"); },
                    {},
                    kConnect,
                    "Cannot open database \"YOK\""},
        WindowInput{"InjectionInSource",
                    [](TFdevir& w, const fs::path&) { Source(w, "E2017'; DROP TABLE STOK--"); },
                    {},
                    kConnect,
                    "Cannot open database"},
        WindowInput{"SemicolonInSource",
                    [](TFdevir& w, const fs::path&) { Source(w, "E2017;Database=master"); },
                    {},
                    kConnect,
                    "Cannot open database"},
        WindowInput{
            "NulInSource",
            [](TFdevir& w, const fs::path&) { Source(w, QString("E20") + QChar(0) + "17"); },
            {},
            kConnect,
            "NUL character"},
        WindowInput{"EmojiSource",
                    [](TFdevir& w, const fs::path&) { Source(w, "E2017😀"); },
                    {},
                    kConnect,
                    "Cannot open database"},
        WindowInput{"VeryLongSource",
                    [](TFdevir& w, const fs::path&) { Source(w, QString(10000, 'E')); },
                    {},
                    kConnect,
                    ""},
        WindowInput{"EmptyUser",
                    [](TFdevir& w, const fs::path&) { w.lkullan->setText(""); },
                    {},
                    kConnect,
                    "login name is empty"},
        WindowInput{"SemicolonInUser",
                    [](TFdevir& w, const fs::path&) { w.lkullan->setText("sa;x"); },
                    {},
                    kConnect,
                    "Login failed for user 'sa;x'"},
        WindowInput{"BraceInUser",
                    [](TFdevir& w, const fs::path&) { w.lkullan->setText("sa}"); },
                    {},
                    kConnect,
                    "cannot carry"},
        WindowInput{"EmptyPassword",
                    [](TFdevir& w, const fs::path&) { w.lveriyolu->setText(""); },
                    {},
                    kConnect,
                    "Login failed"},
        WindowInput{"PasswordNamingAnotherDatabase",
                    [](TFdevir& w, const fs::path&) { w.lveriyolu->setText("x;Database=master"); },
                    {},
                    kConnect,
                    "Login failed"},
        WindowInput{"BraceInPassword",
                    [](TFdevir& w, const fs::path&) { w.lveriyolu->setText("q}olvanet"); },
                    {},
                    kConnect,
                    "cannot carry"},
        WindowInput{"EmptyDataFolder",
                    [](TFdevir& w, const fs::path&) { w.LabeledEdit3->setText(""); },
                    {},
                    "şirket\r\n",
                    "is empty"},
        WindowInput{
            "NoSuchDataFolder",
            [](TFdevir& w, const fs::path&) { w.LabeledEdit3->setText("/devir-yok/veri/"); },
            {},
            "şirket\r\n",
            "No such file or directory"},
        WindowInput{"CyrillicDataFolder",
                    [](TFdevir& w, const fs::path& data) {
                      w.LabeledEdit3->setText(Q((data / "Данные").string()));
                    },
                    {},
                    "Bitti",
                    "",
                    true}),
    [](const ::testing::TestParamInfo<WindowInput>& param_info) { return param_info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Prompt, WindowBadInputTest,
    ::testing::Values(
        WindowInput{"NothingListens", {}, "127.0.0.1,1", kConnect, ""},
        WindowInput{"OnlyBlanks", {}, "   ", kConnect, ""},
        WindowInput{"UnknownHost", {}, "devir-yok.invalid", kConnect, ""},
        WindowInput{
            "InstanceNobodyAnswers", {}, "127.0.0.1\\DEVIR_YOK", kConnect, "SQL Server Browser"},
        WindowInput{"PortOutOfRange", {}, "127.0.0.1,0", kConnect, "no valid port"},
        WindowInput{
            "NulInAddress", {}, std::string("127.0.0.1\0x", 11), kConnect, "NUL character"}),
    [](const ::testing::TestParamInfo<WindowInput>& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace devir::app
