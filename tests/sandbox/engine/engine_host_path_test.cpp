// Paths from a Windows client under Wine, mapped to the host's files.
#include "sandbox/engine/host_path.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "tests/sandbox/engine/engine_test_support.h"

namespace sandbox::testing {
namespace {

namespace fs = std::filesystem;

struct PathCase {
  const char* name;
  const char* client;
  const char* host;  // "PREFIX" stands for the Wine prefix of the case
  bool with_prefix;
};

class HostPathTest : public ::testing::TestWithParam<PathCase> {
 protected:
  // A Wine prefix whose drive C: is a folder of its own and Z: the root, as winecfg makes it.
  HostPathTest() {
    fs::create_directories(prefix_.Path() / "drive_c");
    fs::create_directories(prefix_.Path() / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix_.Path() / "dosdevices" / "c:");
    fs::create_directory_symlink("/", prefix_.Path() / "dosdevices" / "z:");
  }

  TempDir prefix_;
};

TEST_P(HostPathTest, MapsDriveLettersAsWineDoes) {
  const PathCase& c = GetParam();
  std::string expected = c.host;
  if (const size_t at = expected.find("PREFIX"); at != std::string::npos) {
    expected.replace(at, 6, prefix_.Path().string());
  }
  const std::optional<fs::path> prefix =
      c.with_prefix ? std::optional<fs::path>(prefix_.Path()) : std::nullopt;
  EXPECT_EQ(HostPath(c.client, prefix), fs::path(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, HostPathTest,
    ::testing::Values(
        PathCase{"DriveZIsTheRoot", "Z:\\tmp\\x\\E2018_Data.MDF", "/tmp/x/E2018_Data.MDF", false},
        PathCase{"LowerCaseDriveAndSlashes", "z:/tmp/x/E2018_Log.LDF", "/tmp/x/E2018_Log.LDF",
                 false},
        PathCase{"HostPathStaysAsItIs", "/tmp/x/E2018_Data.MDF", "/tmp/x/E2018_Data.MDF", false},
        PathCase{"OtherDriveWithoutPrefixStaysAsItIs", "C:\\Miltoran\\Data\\E2018_Data.MDF",
                 "C:\\Miltoran\\Data\\E2018_Data.MDF", false},
        PathCase{"DriveCThroughThePrefix", "C:\\Miltoran\\Data\\E2018_Data.MDF",
                 "PREFIX/dosdevices/c:/Miltoran/Data/E2018_Data.MDF", true},
        PathCase{"DriveZThroughThePrefix", "Z:\\tmp\\E2018_Data.MDF",
                 "PREFIX/dosdevices/z:/tmp/E2018_Data.MDF", true},
        PathCase{"DriveThePrefixLacks", "D:\\veri\\E2018_Data.MDF", "D:\\veri\\E2018_Data.MDF",
                 true},
        PathCase{"DriveWithoutAPathStaysAsItIs", "Z:", "Z:", false},
        PathCase{"RelativeWindowsPathStaysAsItIs", "veri\\E2018_Data.MDF", "veri\\E2018_Data.MDF",
                 false}),
    [](const ::testing::TestParamInfo<PathCase>& param) { return param.param.name; });

TEST(HostPathFile, DriveCThroughThePrefixReachesTheFile) {
  TempDir prefix;
  fs::create_directories(prefix.Path() / "drive_c" / "Miltoran");
  fs::create_directories(prefix.Path() / "dosdevices");
  fs::create_directory_symlink("../drive_c", prefix.Path() / "dosdevices" / "c:");
  { std::ofstream(prefix.Path() / "drive_c" / "Miltoran" / "E2018_Data.MDF") << "x"; }
  EXPECT_EQ(fs::weakly_canonical(HostPath("C:\\Miltoran\\E2018_Data.MDF", prefix.Path())),
            fs::weakly_canonical(prefix.Path() / "drive_c" / "Miltoran" / "E2018_Data.MDF"));
}

}  // namespace
}  // namespace sandbox::testing
