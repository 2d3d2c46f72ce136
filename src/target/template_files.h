#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace devir::target {

/// The folder of the running program's executable file; empty when the system does not tell.
std::filesystem::path ExecutableFolder();

/// "DB" beside the running program: where the installation puts the empty template of the
/// new year's database (on Windows, and beside a program run from its build folder).
std::filesystem::path DefaultTemplateFolder();

/// The folders the template is looked for in, in this order: "DB" beside the program and,
/// outside Windows, "../share/devir/DB" relative to it, where an installed package keeps it.
/// Empty when the program's folder is unknown.
std::vector<std::filesystem::path> TemplateFolderCandidates();

/// The first of `candidates` that holds both template files of year. Throws
/// std::runtime_error naming the files and every place looked in when none does.
std::filesystem::path FindTemplateFolder(const std::vector<std::filesystem::path>& candidates,
                                         int year);

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
