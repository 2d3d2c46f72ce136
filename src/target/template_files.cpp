#include "target/template_files.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "target/data_folder.h"
#include "target/file_copy.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace devir::target {
namespace {

[[noreturn]] void ThrowCopyFailure(const std::filesystem::path& target, std::error_code error) {
  throw std::runtime_error(PathToUtf8(target) + ": " + error.message());
}

// Copies from to `to` unless `to` exists; returns whether it made the file. Throws when the
// copy fails (a half-written target is gone then).
bool CopyUnlessPresent(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code status;
  const bool present = std::filesystem::exists(to, status);
  if (status) ThrowCopyFailure(to, status);
  if (present) return false;
  // A folder that is not known is no template: the current directory is no stand-in for it.
  if (from.parent_path().empty()) {
    ThrowCopyFailure(from, std::make_error_code(std::errc::no_such_file_or_directory));
  }
  const FileCopyError error = CopyFileWithoutReplacing(from, to);
  if (error.code == std::errc::file_exists) return false;
  if (error.code) ThrowCopyFailure(error.at_source ? from : to, error.code);
  return true;
}

}  // namespace

std::filesystem::path ExecutableFolder() {
#ifdef _WIN32
  std::vector<wchar_t> buffer(MAX_PATH);
  while (true) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      return std::filesystem::path(std::wstring(buffer.data(), length)).parent_path();
    }
    buffer.resize(buffer.size() * 2);
  }
#else
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return exe.parent_path();
#endif
}

std::filesystem::path DefaultTemplateFolder() {
  const std::filesystem::path folder = ExecutableFolder();
  if (folder.empty()) return {};
  return folder / "DB";
}

std::vector<std::filesystem::path> TemplateFolderCandidates() {
  const std::filesystem::path folder = ExecutableFolder();
  if (folder.empty()) return {};
#ifdef _WIN32
  return {folder / "DB"};
#else
  return {folder / "DB", (folder / ".." / "share" / "devir" / "DB").lexically_normal()};
#endif
}

std::filesystem::path FindTemplateFolder(const std::vector<std::filesystem::path>& candidates,
                                         int year) {
  const std::string data = DataFileName(year);
  const std::string log = LogFileName(year);
  std::string places;
  for (const std::filesystem::path& folder : candidates) {
    std::error_code error;
    if (std::filesystem::is_regular_file(folder / data, error) &&
        std::filesystem::is_regular_file(folder / log, error)) {
      return folder;
    }
    places += places.empty() ? "" : ", ";
    places += PathToUtf8(folder);
  }
  if (places.empty()) places = "(the program's folder is unknown)";
  throw std::runtime_error("The new year's template files " + data + " and " + log +
                           " are in none of these folders: " + places);
}

TemplateCopyResult CopyTemplateFiles(const std::filesystem::path& template_folder,
                                     std::string_view data_folder, int year) {
  const TargetFiles targets = TargetFilesIn(data_folder, year);
  const std::pair<std::string, std::filesystem::path> files[] = {
      {DataFileName(year), PathFromUtf8(targets.data_file)},
      {LogFileName(year), PathFromUtf8(targets.log_file)},
  };
  TemplateCopyResult result;
  try {
    for (const auto& [name, target] : files) {
      if (CopyUnlessPresent(template_folder / name, target)) {
        result.copied.push_back(target);
      } else {
        result.kept.push_back(target);
      }
    }
  } catch (...) {
    RemoveCopies(result);
    throw;
  }
  return result;
}

void RemoveCopies(const TemplateCopyResult& copies) noexcept {
  for (const std::filesystem::path& file : copies.copied) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
  }
}

}  // namespace devir::target
