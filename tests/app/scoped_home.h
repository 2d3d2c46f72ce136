#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace devir::app::testing {

/// Points HOME at a fresh temporary folder while alive, so that a run's trace file (X.TXT in
/// the home folder) lands there and never in the real one; removes the folder afterwards.
class ScopedHome {
 public:
  ScopedHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "devir-home-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    if (const char* old = std::getenv("HOME")) old_ = old;
    setenv("HOME", path_.c_str(), 1);
  }
  ~ScopedHome() {
    if (old_) {
      setenv("HOME", old_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;

  const std::filesystem::path& Path() const noexcept { return path_; }
  /// Where the run writes its trace file.
  std::filesystem::path TraceFile() const { return path_ / "X.TXT"; }

 private:
  std::filesystem::path path_;
  std::optional<std::string> old_;
};

}  // namespace devir::app::testing
