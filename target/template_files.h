#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace devir::target {

/// The folder of the running program's executable file; empty when the system does not tell.
std::filesystem::path ExecutableFolder();

/// "DB" beside the running program: where the installation puts the empty template of the
/// new year's database.
std::filesystem::path DefaultTemplateFolder();

/// What became of each file's copy: an empty code when it was copied, else why it was not
/// (the target exists, the template is missing, no access).
struct TemplateCopyResult {
  std::error_code data;
  std::error_code log;
};

/// Copies the year's template files (data file first, then log file) from template_folder to
/// the target files in data_folder (which ends with its separator). A copy never replaces an
/// existing target; a failed copy is only reported in the result, never thrown, so that the
/// attach that follows uses whatever files stand at the target paths.
TemplateCopyResult CopyTemplateFiles(const std::filesystem::path& template_folder,
                                     std::string_view data_folder, int year) noexcept;

}  // namespace devir::target
