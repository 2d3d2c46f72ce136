#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "target/platform_defaults.h"

namespace devir::target {

/// The data folder made to end with separator: unchanged when its last character is the
/// separator, else the separator appended ("" becomes the separator alone).
std::string WithFinalSeparator(std::string_view folder, char separator = kDataFolderSeparator);

/// "E2018_Data.MDF" for 2018: the data file of a year's template and of its copy.
std::string DataFileName(int year);
/// "E2018_Log.LDF" for 2018: the log file of a year's template and of its copy.
std::string LogFileName(int year);

/// Where the year's database files go on the server: the data folder (ending with its
/// separator) followed by the file names. The same texts name the local copy targets.
struct TargetFiles {
  std::string data_file;
  std::string log_file;
};

/// The target files of year in data_folder, joined as text (the folder is the server's).
TargetFiles TargetFilesIn(std::string_view data_folder, int year);

/// A path from UTF-8 text, on every platform.
std::filesystem::path PathFromUtf8(std::string_view text);

/// A path as UTF-8 text, on every platform (path::string() throws on Windows for characters
/// outside the ANSI code page).
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace devir::target
