// The empty new-year template: written through the engine, attached elsewhere.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/engine/engine.h"
#include "sandbox/sample/cell.h"
#include "sandbox/sample/layouts.h"
#include "sandbox/sample/seed.h"
#include "tests/sandbox/sample/engine_session.h"

namespace sandbox::sample {
namespace {

namespace fs = std::filesystem;
using testing::ErrorsOf;
using testing::Query;
using testing::Scalar;
using testing::TempFolder;

const std::vector<const TableLayout*>& YearLayouts() {
  static const std::vector<const TableLayout*> layouts = [] {
    std::vector<const TableLayout*> all = {&DepoLayout(), &StokLayout(), &StokHareketLayout(),
                                           &HesapKoduLayout()};
    for (int level = 1; level <= 5; ++level) all.push_back(&DuzeyKoduLayout(level));
    return all;
  }();
  return layouts;
}

std::vector<std::string> ColumnNames(const std::vector<ResultColumn>& columns) {
  std::vector<std::string> names;
  for (const ResultColumn& column : columns) names.push_back(column.name);
  return names;
}

// Copies the template into data_dir and attaches it there, as the transfer does.
void Attach(Session& master, const fs::path& template_dir, const fs::path& data_dir) {
  for (const char* file : {"E2018_Data.MDF", "E2018_Log.LDF"}) {
    fs::copy_file(template_dir / file, data_dir / file);
  }
  Query(master, "sp_attach_db 'E2018'," + ToLiteral(Ansi((data_dir / "E2018_Data.MDF").string())) +
                    ", " + ToLiteral(Ansi((data_dir / "E2018_Log.LDF").string())));
}

class TemplateTest : public ::testing::Test {
 protected:
  // A private temporary directory, so that the template's own work folder can be seen to go.
  void SetUp() override {
    const char* previous = std::getenv("TMPDIR");
    previous_tmpdir_ = previous ? previous : "";
    had_tmpdir_ = previous != nullptr;
    setenv("TMPDIR", tmp_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (had_tmpdir_) {
      setenv("TMPDIR", previous_tmpdir_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

  TempFolder out_;
  TempFolder data_;
  TempFolder tmp_;
  std::string previous_tmpdir_;
  bool had_tmpdir_ = false;
};

TEST_F(TemplateTest, AttachesElsewhereWithEveryTableEmpty) {
  WriteTemplate(out_.Path());
  EXPECT_TRUE(fs::is_empty(tmp_.Path())) << "the work folder was left behind";

  Engine engine(data_.Path(), {});
  const auto master = engine.OpenSession("master");
  Attach(*master, out_.Path(), data_.Path());
  const auto year = engine.OpenSession("E2018");
  for (const TableLayout* layout : YearLayouts()) {
    const auto result = Query(*year, "SELECT * FROM " + layout->name);
    EXPECT_TRUE(result.rows.empty()) << layout->name;
    // The columns the transfer's INSERTs name, plus the ones the server fills.
    std::vector<std::string> expected = {"ID"};
    expected.insert(expected.end(), layout->columns.begin(), layout->columns.end());
    if (layout->name == "STOK") expected.push_back("SURUM");
    EXPECT_EQ(ColumnNames(result.columns), expected) << layout->name;
  }
  EXPECT_EQ(ErrorsOf(*year, "SELECT * FROM sirketler"), std::vector<int>{208});
}

TEST_F(TemplateTest, AcceptsTheTransfersInserts) {
  WriteTemplate(out_.Path());
  Engine engine(data_.Path(), {});
  const auto master = engine.OpenSession("master");
  Attach(*master, out_.Path(), data_.Path());
  const auto year = engine.OpenSession("E2018");
  Query(*year,
        "INSERT INTO DEPO(KODU,ADI) VALUES('01','ANADEPO');"
        "INSERT INTO STOK(STOKKODU,STOKADI) VALUES('A-100','Vida')");
  EXPECT_EQ(Scalar(*year, "SELECT COUNT(*) FROM STOK"), Value(std::int64_t{1}));
}

TEST_F(TemplateTest, ReplacesEarlierFiles) {
  for (const char* file : {"E2018_Data.MDF", "E2018_Log.LDF"}) {
    std::ofstream(out_.Path() / file) << "not a database";
  }
  WriteTemplate(out_.Path());
  Engine engine(data_.Path(), {});
  const auto master = engine.OpenSession("master");
  Attach(*master, out_.Path(), data_.Path());
  EXPECT_EQ(Query(*engine.OpenSession("E2018"), "SELECT * FROM STOK").rows.size(), 0u);
}

TEST_F(TemplateTest, CreatesAMissingOutputFolder) {
  const fs::path nested = out_.Path() / "DB";
  WriteTemplate(nested);
  EXPECT_TRUE(fs::exists(nested / "E2018_Data.MDF"));
  EXPECT_TRUE(fs::exists(nested / "E2018_Log.LDF"));
}

}  // namespace
}  // namespace sandbox::sample
