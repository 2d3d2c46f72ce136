#include "target/template_files.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "target/data_folder.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace devir::target {
namespace {

std::error_code CopyWithoutReplacing(const std::filesystem::path& template_folder,
                                     const std::string& name, const std::filesystem::path& to) {
  std::error_code error;
  const bool existed = std::filesystem::exists(to, error);
  if (error) return error;
  if (existed) return std::make_error_code(std::errc::file_exists);
  // An unknown folder is no template: the current directory is no stand-in for it.
  if (template_folder.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);
  const std::filesystem::path from = template_folder / name;
  // copy_options::none refuses an existing target with an error instead of replacing it.
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::none, error);
  if (error && error != std::errc::file_exists) {
    // A copy broken off half-way (a full disk) would otherwise stay and be attached by every
    // later run, since targets are never replaced: remove what this call began, only that.
    std::error_code ignored;
    if (std::filesystem::exists(to, ignored)) std::filesystem::remove(to, ignored);
  }
  return error;
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
                                     std::string_view data_folder, int year) noexcept {
  TemplateCopyResult result;
  try {
    const TargetFiles targets = TargetFilesIn(data_folder, year);
    result.data =
        CopyWithoutReplacing(template_folder, DataFileName(year), PathFromUtf8(targets.data_file));
    result.log =
        CopyWithoutReplacing(template_folder, LogFileName(year), PathFromUtf8(targets.log_file));
  } catch (const std::bad_alloc&) {
    result.data = result.log = std::make_error_code(std::errc::not_enough_memory);
  } catch (const std::exception&) {
    // A name the platform cannot form into a path: no copy, as for any other failure.
    result.data = result.log = std::make_error_code(std::errc::invalid_argument);
  }
  return result;
}

}  // namespace devir::target
