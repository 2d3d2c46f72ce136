#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/temp_folder.h"

namespace devir::app::testing {

/// Points HOME at a fresh temporary folder while alive, so that a run's trace file (X.TXT in
/// the home folder) lands there and never in the real one; removes the folder afterwards.
class ScopedHome {
 public:
  ScopedHome() {
    if (const char* old = std::getenv("HOME")) old_ = old;
    setenv("HOME", folder_.Path().c_str(), 1);
  }
  ~ScopedHome() {
    if (old_) {
      setenv("HOME", old_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;

  const std::filesystem::path& Path() const noexcept { return folder_.Path(); }
  /// Where the run writes its trace file.
  std::filesystem::path TraceFile() const { return folder_ / "X.TXT"; }

 private:
  devir::testing::TempFolder folder_{"devir-home-"};
  std::optional<std::string> old_;
};

}  // namespace devir::app::testing
