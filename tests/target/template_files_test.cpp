// The template copy: never replaces a target, says what it made and kept, and fails with the
// system's message, leaving nothing half-done behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif
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
  EXPECT_EQ(result.copied,
            (std::vector<fs::path>{data_ / "E2018_Data.MDF", data_ / "E2018_Log.LDF"}));
  EXPECT_TRUE(result.kept.empty());
  EXPECT_EQ(ReadFile(data_ / "E2018_Data.MDF"), "template data");
  EXPECT_EQ(ReadFile(data_ / "E2018_Log.LDF"), "template log");

  RemoveCopies(result);
  EXPECT_TRUE(fs::is_empty(data_));
}

TEST_F(TemplateFilesTest, NeverReplacesAnExistingTarget) {
  WriteFile(data_ / "E2018_Data.MDF", "filled by an earlier run");
  const TemplateCopyResult result = CopyTemplateFiles(templates_, DataFolder(), 2018);
  EXPECT_EQ(result.kept, std::vector<fs::path>{data_ / "E2018_Data.MDF"});
  EXPECT_EQ(result.copied, std::vector<fs::path>{data_ / "E2018_Log.LDF"});
  EXPECT_EQ(ReadFile(data_ / "E2018_Data.MDF"), "filled by an earlier run");
  EXPECT_EQ(ReadFile(data_ / "E2018_Log.LDF"), "template log");

  // Only what the copy made goes again.
  RemoveCopies(result);
  EXPECT_EQ(ReadFile(data_ / "E2018_Data.MDF"), "filled by an earlier run");
  EXPECT_FALSE(fs::exists(data_ / "E2018_Log.LDF"));
}

TEST_F(TemplateFilesTest, FailuresNameTheFileAndTheCauseAndLeaveNothing) {
  fs::create_directories(root_ / "only-data");
  WriteFile(root_ / "only-data" / "E2018_Data.MDF", "template data");
  WriteFile(root_ / "a-file", "in the way");
  struct Case {
    const char* name;
    fs::path templates;
    std::string data_folder;
    int year;
    fs::path named;  // the file the message names
  };
  const Case cases[] = {
      {"no template for the year", templates_, DataFolder(), 2030, templates_ / "E2030_Data.MDF"},
      {"no template folder", root_ / "yok", DataFolder(), 2018, root_ / "yok" / "E2018_Data.MDF"},
      {"no log template: the data copy goes again", root_ / "only-data", DataFolder(), 2018,
       root_ / "only-data" / "E2018_Log.LDF"},
      {"no data folder", templates_, (root_ / "yok").string() + "/", 2018,
       root_ / "yok" / "E2018_Data.MDF"},
      {"a file in the way of the folder", templates_, (root_ / "a-file").string() + "/", 2018,
       root_ / "a-file" / "E2018_Data.MDF"},
      {"a name too long", templates_, DataFolder() + std::string(300, 'x') + "/", 2018,
       data_ / std::string(300, 'x') / "E2018_Data.MDF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      CopyTemplateFiles(c.templates, c.data_folder, c.year);
      ADD_FAILURE() << "copied";
    } catch (const std::runtime_error& error) {
      // One kind of separator: on Windows the folder's text keeps the "/" it was typed with.
      const auto slashes = [](std::string text) {
        std::replace(text.begin(), text.end(), '\\', '/');
        return text;
      };
      const std::string message = slashes(error.what());
      EXPECT_EQ(message.rfind(slashes(c.named.string()) + ": ", 0), 0u) << message;
      EXPECT_GT(message.size(), c.named.string().size() + 2) << "no cause: " << message;
    }
    EXPECT_TRUE(fs::is_empty(data_));
  }
}

#ifndef _WIN32
// A disk that fills up half-way through the copy: a file size limit stands in for it (the
// write fails with EFBIG), in a child process so that the limit binds nothing else.
TEST_F(TemplateFilesTest, ACopyBrokenOffHalfWayIsRemoved) {
  WriteFile(templates_ / "E2018_Data.MDF", std::string(1 << 20, 'x'));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    int outcome = 3;  // copied whole: the limit did not bind
    try {
      CopyTemplateFiles(templates_, DataFolder(), 2018);
    } catch (const std::runtime_error& error) {
      const bool named =
          std::string(error.what()).find("E2018_Data.MDF: File too large") != std::string::npos;
      outcome = !named ? 1 : fs::exists(data_ / "E2018_Data.MDF") ? 2 : 0;
    }
    _exit(outcome);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no cause named, 2: the half copy stayed, 3: copied";
}
#endif

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
