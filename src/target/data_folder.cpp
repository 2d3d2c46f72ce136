#include "target/data_folder.h"

#include "target/target_year.h"

namespace devir::target {

std::string WithFinalSeparator(std::string_view folder, char separator) {
  std::string out(folder);
  if (out.empty() || out.back() != separator) out += separator;
  return out;
}

std::string DataFileName(int year) {
  return YearDatabaseName(year) + "_Data.MDF";
}

std::string LogFileName(int year) {
  return YearDatabaseName(year) + "_Log.LDF";
}

TargetFiles TargetFilesIn(std::string_view data_folder, int year) {
  return {std::string(data_folder) + DataFileName(year),
          std::string(data_folder) + LogFileName(year)};
}

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace devir::target
