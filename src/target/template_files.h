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

/// What the copy did: the target files it made (to be removed again if the attach fails) and
/// those it kept because they were there already, from an earlier transfer.
struct TemplateCopyResult {
  std::vector<std::filesystem::path> copied;
  std::vector<std::filesystem::path> kept;
};

/// Copies the year's template files (data file first, then log file) from template_folder to
/// the target files in data_folder (which ends with its separator) where they are missing. A
/// copy never replaces an existing target. Throws std::runtime_error "<target file>: <the
/// system's message>" when a copy fails (a full disk, a missing or read-only folder, a name
/// too long), after removing every file this call made, so that no half-done copy is left for
/// a later run to attach. template_folder may be empty when both targets exist.
TemplateCopyResult CopyTemplateFiles(const std::filesystem::path& template_folder,
                                     std::string_view data_folder, int year);

/// Removes the files a copy made (after a failed attach, so that a later run copies afresh
/// instead of attaching them again). Failures are ignored: the files are fresh copies of the
/// template and nothing is lost if one stays.
void RemoveCopies(const TemplateCopyResult& copies) noexcept;

}  // namespace devir::target
