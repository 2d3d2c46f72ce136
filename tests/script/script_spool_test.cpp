// The script on disk: lines come back as they went in, from any line, the file is written as
// the script grows and is gone with the spool, and a failing disk is reported with the
// system's own message.
#include "script/script_spool.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "tests/script/scoped_environment.h"
#include "tests/support/temp_folder.h"

namespace devir::script {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnvironment;

std::size_t FilesIn(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

[[maybe_unused]] std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines of many lengths, every seventh one empty, Turkish letters and a four-byte character.
std::vector<std::string> MixedLines(std::size_t count) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    if (i % 7 == 3) {
      lines.emplace_back();
      continue;
    }
    lines.push_back("INSERT INTO STOK(STOKKODU) VALUES(N'Ğ" + std::to_string(i) + "😀" +
                    std::string(i % 97, 'x') + "ş" + "')");
  }
  return lines;
}

std::vector<std::string> ReadFrom(db::ScriptLines& lines, std::size_t index, std::size_t most) {
  lines.Seek(index);
  std::vector<std::string> read;
  std::string_view line;
  while (read.size() < most && lines.Next(line)) read.emplace_back(line);
  return read;
}

class ScriptSpoolTest : public ::testing::Test {
 protected:
  devir::testing::TempFolder folder_{"devir-spool-"};
  const fs::path& dir_ = folder_.Path();
};

TEST_F(ScriptSpoolTest, LinesComeBackInOrderWithTheEmptyOnesAndTheirCounts) {
  const std::vector<std::string> lines = MixedLines(5000);
  ScriptSpool spool(dir_);
  for (const std::string& line : lines) spool.Add(line);
  spool.Finish();

  EXPECT_EQ(spool.Count(), lines.size());
  std::size_t statements = 0;
  std::string file;
  for (const std::string& line : lines) {
    if (!line.empty()) ++statements;
    file += line + "\n";
  }
  EXPECT_EQ(spool.StatementCount(), statements);
  EXPECT_EQ(spool.Bytes(), file.size());
#ifndef _WIN32
  // The file is the script in UTF-8, each line followed by LF. (On Windows it is open for the
  // spool alone, to be deleted when closed, and no one else may read it.)
  EXPECT_EQ(ReadBytes(spool.Path()), file);
#endif
  EXPECT_EQ(ReadFrom(spool, 0, lines.size() + 1), lines);
  // And again: the runner reads the script more than once.
  EXPECT_EQ(ReadFrom(spool, 0, lines.size() + 1), lines);
}

// Any line can be the start: the failing-line search runs earlier lines again.
TEST_F(ScriptSpoolTest, ReadingStartsAtAnyLine) {
  const std::vector<std::string> lines = MixedLines(5000);
  ScriptSpool spool(dir_);
  for (const std::string& line : lines) spool.Add(line);
  spool.Finish();
  for (std::size_t index : {4999u, 0u, 1u, 1023u, 1024u, 1025u, 2047u, 3000u, 2u, 4998u}) {
    SCOPED_TRACE("line index " + std::to_string(index));
    const std::vector<std::string> expected(
        lines.begin() + static_cast<std::ptrdiff_t>(index),
        lines.begin() +
            static_cast<std::ptrdiff_t>(std::min<std::size_t>(index + 3, lines.size())));
    EXPECT_EQ(ReadFrom(spool, index, 3), expected);
  }
  EXPECT_TRUE(ReadFrom(spool, 5000, 3).empty());
  EXPECT_EQ(db::LineAt(spool, 1500), lines[1500]);
  EXPECT_THROW(db::LineAt(spool, 5000), std::out_of_range);
}

TEST_F(ScriptSpoolTest, ALineLongerThanTheBuffersComesBackWhole) {
  const std::string huge = "INSERT INTO T(A) VALUES('" + std::string(3u << 20, 'x') + "')";
  ScriptSpool spool(dir_);
  spool.Add("SET DATEFORMAT DMY");
  spool.Add(huge);
  spool.Add("");
  spool.Add("SON");
  spool.Finish();
  EXPECT_EQ(ReadFrom(spool, 0, 10),
            (std::vector<std::string>{"SET DATEFORMAT DMY", huge, "", "SON"}));
  EXPECT_EQ(ReadFrom(spool, 1, 1), (std::vector<std::string>{huge}));
}

TEST_F(ScriptSpoolTest, EmptyScriptHasNoLines) {
  ScriptSpool spool(dir_);
  spool.Finish();
  EXPECT_EQ(spool.Count(), 0u);
  EXPECT_EQ(spool.StatementCount(), 0u);
  EXPECT_TRUE(ReadFrom(spool, 0, 1).empty());
}

TEST_F(ScriptSpoolTest, ALineWithABreakIsRefused) {
  ScriptSpool spool(dir_);
  for (const char* line : {"a\rb", "a\nb", "\r\n", "a\r"}) {
    EXPECT_THROW(spool.Add(line), std::invalid_argument) << ::testing::PrintToString(line);
  }
  EXPECT_EQ(spool.Count(), 0u);
}

TEST_F(ScriptSpoolTest, ReadingWaitsForFinishAndAddingEndsThere) {
  ScriptSpool spool(dir_);
  spool.Add("A");
  EXPECT_THROW(spool.Seek(0), std::logic_error);
  spool.Finish();
  EXPECT_THROW(spool.Add("B"), std::logic_error);
}

// Memory stays flat: what goes beyond a megabyte is on disk before the script is finished.
TEST_F(ScriptSpoolTest, TheFileGrowsAsTheScriptIsBuilt) {
  ScriptSpool spool(dir_);
  const std::string line(1000, 'a');
  for (int i = 0; i < 3000; ++i) spool.Add(line);
  ASSERT_FALSE(spool.Path().empty());
  EXPECT_EQ(spool.Path().parent_path(), dir_);
  EXPECT_GE(fs::file_size(spool.Path()), 2u << 20);
  EXPECT_LE(spool.Bytes() - fs::file_size(spool.Path()), 1u << 20);
}

TEST_F(ScriptSpoolTest, TheFileIsGoneWithTheSpoolAlsoWhenTheBuildFails) {
  fs::path path;
  {
    ScriptSpool spool(dir_);
    spool.Add("A");
    spool.Finish();
    path = spool.Path();
    EXPECT_EQ(FilesIn(dir_), 1u);
  }
  EXPECT_FALSE(fs::exists(path));
  try {
    ScriptSpool spool(dir_);
    for (int i = 0; i < 3000; ++i) spool.Add(std::string(1000, 'b'));
    EXPECT_EQ(FilesIn(dir_), 1u);
    throw std::runtime_error("the source went away");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(FilesIn(dir_), 0u);
}

// The temporary folder and the system's errors as POSIX names them; Windows takes its folder
// from TMP or TEMP.
#ifndef _WIN32
TEST_F(ScriptSpoolTest, TheSystemsTemporaryFolderByDefault) {
  ScopedEnvironment tmpdir("TMPDIR", dir_.string());
  ScriptSpool spool;
  spool.Add("A");
  spool.Finish();
  EXPECT_EQ(spool.Path().parent_path(), dir_);
}

struct UnusableFolderCase {
  const char* name;
  const char* folder;  // under the test's folder; "file" is a plain file there
  int error;
};

class ScriptSpoolFolderTest : public ScriptSpoolTest,
                              public ::testing::WithParamInterface<UnusableFolderCase> {};

TEST_P(ScriptSpoolFolderTest, NamesTheFolderAndTheSystemsMessage) {
  std::ofstream(dir_ / "file") << "x";
  const fs::path folder = dir_ / GetParam().folder;
  ScriptSpool spool(folder);
  spool.Add("SET DATEFORMAT DMY");
  try {
    spool.Finish();
    FAIL() << "a spool in " << folder;
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "the script's temporary file in " + folder.string() +
                                             ": " +
                                             std::generic_category().message(GetParam().error));
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, ScriptSpoolFolderTest,
                         ::testing::Values(UnusableFolderCase{"Missing", "yok", ENOENT},
                                           UnusableFolderCase{"AFileInPlaceOfTheFolder", "file/alt",
                                                              ENOTDIR}),
                         [](const ::testing::TestParamInfo<UnusableFolderCase>& param_info) {
                           return param_info.param.name;
                         });

// A disk that fills up: the process may write no more than a limit, as a full disk would
// stop it.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*old_handler_)(int) = nullptr;
};

TEST_F(ScriptSpoolTest, AWriteThatFailsNamesTheFileAndTheSystemsMessage) {
  ScriptSpool spool(dir_);
  std::string message;
  {
    const FileSizeLimit limit(1u << 20);
    try {
      for (int i = 0; i < 5000; ++i) spool.Add(std::string(1000, 'c'));
      spool.Finish();
    } catch (const std::runtime_error& error) {
      message = error.what();
    }
  }
  ASSERT_FALSE(spool.Path().empty());
  EXPECT_EQ(message, "the script's temporary file " + spool.Path().string() + ": " +
                         std::generic_category().message(EFBIG));
  // With room again, the spool still takes nothing: its file misses lines.
  for (const auto& step : {std::function<void()>([&] { spool.Add("d"); }),
                           std::function<void()>([&] { spool.Finish(); })}) {
    try {
      step();
      ADD_FAILURE() << "a spool with a hole went on";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
}
#endif

}  // namespace
}  // namespace devir::script
