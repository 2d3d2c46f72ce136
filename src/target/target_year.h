#pragma once

#include <string>

namespace devir::target {

/// The working year that is being opened by default; every year text of the program derives
/// from the year in use, which devir-cli may set to another (--target-year).
inline constexpr int kTargetYear = 2018;
/// The working year that is being closed by default.
inline constexpr int kSourceYear = kTargetYear - 1;

/// A working year as the registry writes it: "2018".
inline std::string YearText(int year) {
  return std::to_string(year);
}

/// A year database's name: "E" followed by the year ("E2018").
inline std::string YearDatabaseName(int year) {
  return "E" + YearText(year);
}

/// "E2018": the database the transfer builds and "DB Sil" detaches.
inline std::string TargetDatabaseName(int year = kTargetYear) {
  return YearDatabaseName(year);
}
/// "E2017": the database the transfer reads by default.
inline std::string SourceDatabaseName(int target_year = kTargetYear) {
  return YearDatabaseName(target_year - 1);
}

}  // namespace devir::target
