#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace sandbox {

struct SeedOptions {
  std::filesystem::path data_dir;
  std::string sample = "small";  ///< "small" (tests, demo) or "large" (benchmarks)
  double scale = 1.0;            ///< multiplies the counts of the sample
  std::uint64_t random_seed = 2017;
};

/// Creates the catalogue in data_dir, the database sirketambar with its registry table
/// sirketler (one row for E2017), and the closing year's database E2017 filled with the
/// sample, attached under that name. Deterministic for a given seed. Throws
/// std::runtime_error (or SqlError) with the reason.
void Seed(const SeedOptions& options);

/// Writes the empty new-year template (every application table, no rows) as
/// out_dir/E2018_Data.MDF and out_dir/E2018_Log.LDF, replacing files of those names.
/// Throws std::runtime_error with the reason.
void WriteTemplate(const std::filesystem::path& out_dir);

/// The T-SQL that creates the application tables of a year database.
const std::string& YearSchemaSql();

}  // namespace sandbox
