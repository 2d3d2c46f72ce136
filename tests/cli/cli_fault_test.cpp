// devir-cli against faults a year-end meets: a connection cut during the source read, the
// registry step, the attach and the script run, a server that freezes and one that dies.
// Each ends quickly with a message naming the step and the cause; the source stays byte for
// byte as it was; the target is not attached or holds no rows; no registry row or template
// copy is left for a failed attach; and the next run carries the year over.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/support/fault_proxy.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/transfer_checks.h"

namespace devir::cli {
namespace {

namespace fs = std::filesystem;
namespace checks = devir::testing;
using devir::testing::FaultProxy;
using devir::testing::SandboxProcess;
using testing::CliResult;

enum class Fault { kCut, kFreeze, kKill };

struct FaultCase {
  const char* name;
  std::string client_text;  // what the client sends when the fault strikes
  int occurrence;           // the how-manieth time it sends it
  Fault fault;
  std::string stage;    // the stage label the failure is shown under ("" for a line)
  bool attached_after;  // the target stays attached (empty) after the failure
  // After a lost connection at the attach the server may have attached the fresh copies: they
  // stay then, and the next run attaches them.
  bool copies_may_stay = false;
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c) {
  return out << c.name;
}

class CliFaultTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override {
    sandbox_ = std::make_unique<SandboxProcess>();
    ASSERT_EQ(SandboxProcess::RunTool({"template", "--out", (work_ / "DB").string()}), 0);
  }

  CliResult RunCli(const std::string& server, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--server",       server,
                                     "--data-dir",     sandbox_->DataDir().string(),
                                     "--trace",        (work_ / "X.TXT").string(),
                                     "--template-dir", (work_ / "DB").string(),
                                     "--date",         "01.01.2018"};
    args.insert(args.end(), extra.begin(), extra.end());
    return testing::RunProcess(
        DEVIR_CLI_EXE, args, {{"DEVIR_PASSWORD", checks::kTestPassword}, {"HOME", work_.string()}});
  }

  std::string Server() const { return sandbox_->DataSource(); }

  std::unique_ptr<SandboxProcess> sandbox_;
  devir::testing::TempFolder work_folder_{"devir-fault-"};
  const fs::path& work_ = work_folder_.Path();
};

TEST_P(CliFaultTest, FailsClearlyLeavesNothingHalfDoneAndTheNextRunWorks) {
  const FaultCase& c = GetParam();
  sandbox_->Stop();
  const checks::FilesSnapshot source = checks::SnapshotDatabaseFiles(sandbox_->DataDir(), "E2017");
  sandbox_->Start();
  const long long registry = checks::CountRows(Server(), "sirketambar", "sirketler");

  CliResult result;
  {
    FaultProxy::Fault fault{.connection = 0,
                            .client_text = c.client_text,
                            .occurrence = c.occurrence,
                            .instead_of_cut = {}};
    if (c.fault == Fault::kFreeze) fault.instead_of_cut = [this] { sandbox_->Pause(); };
    if (c.fault == Fault::kKill) fault.instead_of_cut = [this] { sandbox_->Kill(); };
    FaultProxy proxy(sandbox_->Port(), fault);
    // A frozen server is given up on after the time limit the user set.
    result = RunCli(proxy.DataSource(), {"--timeout", "3"});
    EXPECT_TRUE(proxy.Happened()) << "the fault never struck";
  }
  if (c.fault == Fault::kFreeze) sandbox_->Resume();
  if (c.fault == Fault::kKill) sandbox_->Start();

  EXPECT_EQ(result.exit_code, 1) << result.err;
  if (!c.stage.empty()) {
    EXPECT_NE(result.err.find("\n" + c.stage + "\n"), std::string::npos) << result.err;
  }
  std::string err = result.err;
  for (char& ch : err) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const std::string cause = c.fault == Fault::kFreeze ? "timeout" : "connection";
  EXPECT_NE(err.find(cause), std::string::npos) << result.err;

  // The source as it was, byte for byte.
  sandbox_->Stop();
  EXPECT_EQ(checks::SnapshotDatabaseFiles(sandbox_->DataDir(), "E2017"), source);
  sandbox_->Start();

  if (c.attached_after) {
    ASSERT_TRUE(checks::DatabaseAttached(Server(), "E2018"));
    for (const auto& [table, rows] : checks::CountCarriedRows(Server(), "E2018")) {
      EXPECT_EQ(rows, 0) << table;
    }
    ASSERT_EQ(RunCli(Server(), {"--detach"}).exit_code, 0);
  } else {
    EXPECT_FALSE(checks::DatabaseAttached(Server(), "E2018"));
    EXPECT_EQ(checks::CountRows(Server(), "sirketambar", "sirketler"), registry);
    if (!c.copies_may_stay) {
      EXPECT_FALSE(fs::exists(sandbox_->DataDir() / "E2018_Data.MDF"));
      EXPECT_FALSE(fs::exists(sandbox_->DataDir() / "E2018_Log.LDF"));
    }
  }

  const CliResult again = RunCli(Server());
  ASSERT_EQ(again.exit_code, 0) << again.err;
  checks::ExpectMasterTablesCarried(Server(), "E2017", "E2018");
  checks::ExpectOneRegistryRow(Server(), 2018);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CliFaultTest,
    ::testing::Values(
        // The checks read every copied table first; the script reads it a second time.
        FaultCase{"CutWhileChecking", "SELECT * FROM HESAPKODU", 1, Fault::kCut, "check", false},
        FaultCase{"CutWhileReadingTheSource", "SELECT * FROM HESAPKODU", 2, Fault::kCut,
                  "depo+hk+dk", false},
        FaultCase{"CutAtTheRegistry", "INSERT INTO sirketler", 1, Fault::kCut, "şirket", false},
        FaultCase{"CutAtTheAttach", "sp_attach_db", 1, Fault::kCut, "attach", false, true},
        FaultCase{"CutWhileTheScriptRuns", "INSERT INTO HESAPKODU", 1, Fault::kCut, "", true},
        FaultCase{"FrozenWhileReadingTheSource", "SELECT * FROM DUZEYKODU1", 2, Fault::kFreeze,
                  "depo+hk+dk", false},
        FaultCase{"FrozenWhileTheScriptRuns", "INSERT INTO HESAPKODU", 1, Fault::kFreeze, "", true},
        FaultCase{"KilledAtTheAttach", "sp_attach_db", 1, Fault::kKill, "attach", false, true},
        FaultCase{"KilledWhileTheScriptRuns", "INSERT INTO HESAPKODU", 1, Fault::kKill, "", true}),
    [](const ::testing::TestParamInfo<FaultCase>& param_info) {
      return std::string(param_info.param.name);
    });

}  // namespace
}  // namespace devir::cli
