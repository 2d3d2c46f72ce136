// The template copy: never replaces a target, never throws, says what became of each file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "target/data_folder.h"
#include "target/template_files.h"

namespace devir::target {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class TemplateFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh folder of this test's own (std::filesystem only, so it runs on every platform).
    std::random_device random;
    root_ = fs::temp_directory_path() / ("devir-template-test-" + std::to_string(random()));
    ASSERT_TRUE(fs::create_directory(root_)) << root_;
    templates_ = root_ / "DB";
    data_ = root_ / "data";
    fs::create_directories(templates_);
    fs::create_directories(data_);
    WriteFile(templates_ / "E2018_Data.MDF", "template data");
    WriteFile(templates_ / "E2018_Log.LDF", "template log");
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string DataFolder() const { return data_.string() + "/"; }

  fs::path root_;
  fs::path templates_;
  fs::path data_;
};

TEST_F(TemplateFilesTest, CopiesBothFilesIntoTheDataFolder) {
  const TemplateCopyResult result = CopyTemplateFiles(templates_, DataFolder(), 2018);
  EXPECT_FALSE(result.data) << result.data.message();
  EXPECT_FALSE(result.log) << result.log.message();
  EXPECT_EQ(ReadFile(data_ / "E2018_Data.MDF"), "template data");
  EXPECT_EQ(ReadFile(data_ / "E2018_Log.LDF"), "template log");
}

TEST_F(TemplateFilesTest, NeverReplacesAnExistingTarget) {
  WriteFile(data_ / "E2018_Data.MDF", "filled by an earlier run");
  const TemplateCopyResult result = CopyTemplateFiles(templates_, DataFolder(), 2018);
  EXPECT_TRUE(result.data);
  EXPECT_FALSE(result.log) << result.log.message();
  EXPECT_EQ(ReadFile(data_ / "E2018_Data.MDF"), "filled by an earlier run");
  EXPECT_EQ(ReadFile(data_ / "E2018_Log.LDF"), "template log");
}

TEST_F(TemplateFilesTest, FailuresAreReportedNotThrown) {
  struct Case {
    const char* name;
    fs::path templates;
    std::string data_folder;
    int year;
  };
  const Case cases[] = {
      {"no template for the year", templates_, DataFolder(), 2030},
      {"no template folder", root_ / "yok", DataFolder(), 2018},
      {"program folder unknown", fs::path(), DataFolder(), 2018},
      {"no data folder", templates_, (root_ / "yok").string() + "/", 2018},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TemplateCopyResult result;
    EXPECT_NO_THROW(result = CopyTemplateFiles(c.templates, c.data_folder, c.year));
    EXPECT_TRUE(result.data);
    EXPECT_TRUE(result.log);
  }
  EXPECT_TRUE(fs::is_empty(data_));
}

TEST(ExecutableFolderTest, IsTheFolderOfTheRunningProgram) {
  EXPECT_EQ(fs::canonical(ExecutableFolder()), fs::canonical(DEVIR_TEST_EXE_DIR));
  EXPECT_EQ(DefaultTemplateFolder(), ExecutableFolder() / "DB");
}

TEST(ExecutableFolderTest, TheTemplateIsLookedForInDbBesideTheProgramFirst) {
  const std::vector<fs::path> candidates = TemplateFolderCandidates();
  ASSERT_FALSE(candidates.empty());
  EXPECT_EQ(candidates.front(), ExecutableFolder() / "DB");
#ifdef _WIN32
  // The installation keeps it there and nowhere else.
  EXPECT_EQ(candidates.size(), 1u);
#else
  EXPECT_EQ(candidates.back(),
            (ExecutableFolder() / ".." / "share" / "devir" / "DB").lexically_normal());
#endif
}

TEST_F(TemplateFilesTest, TheFirstFolderHoldingBothFilesIsTaken) {
  // A program folder as Windows names it for a Turkish user, blanks included.
  const fs::path program = root_ / fs::path(u8"Program Dosyaları") / fs::path(u8"Miltoran Şirket");
  fs::create_directories(program / "DB");
  WriteFile(program / "DB" / "E2018_Data.MDF", "beside the program");
  WriteFile(program / "DB" / "E2018_Log.LDF", "beside the program");
  fs::create_directories(root_ / "half" / "DB");
  WriteFile(root_ / "half" / "DB" / "E2018_Data.MDF", "no log file");
  EXPECT_EQ(FindTemplateFolder({root_ / "half" / "DB", program / "DB", templates_}, 2018),
            program / "DB");
}

TEST_F(TemplateFilesTest, NoFolderHoldingTheTemplateNamesEveryPlaceLookedIn) {
  const fs::path empty = root_ / fs::path(u8"Boş klasör ğüşİ");
  fs::create_directories(empty);
  try {
    FindTemplateFolder({empty, root_ / "yok"}, 2018);
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("E2018_Data.MDF and E2018_Log.LDF"), std::string::npos) << message;
    EXPECT_NE(message.find(PathToUtf8(empty) + ", " + PathToUtf8(root_ / "yok")), std::string::npos)
        << message;
  }
}

}  // namespace
}  // namespace devir::target
