// devir-cli: the year-end transfer without a window.
#include <cstdio>
#include <exception>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/password_source.h"
#include "cli/row_counts.h"
#include "db/connection.h"
#include "db/connection_string.h"

namespace {

int RowCounts(const devir::cli::Options& options) {
  devir::db::ConnectionSettings settings;
  settings.provider = "SQLOLEDB";
  settings.initial_catalog = options.source;
  settings.data_source = options.server;
  settings.user_id = options.user;
  settings.password = devir::cli::ReadPassword(options.password_file);

  devir::db::Connection connection;
  connection.SetConnectionString(devir::db::BuildAdoConnectionString(settings));
  connection.Connect();
  std::cout << std::left << std::setw(14) << "table" << std::right << std::setw(12)
            << options.source << '\n';
  for (const auto& [table, count] : devir::cli::CountRows(connection)) {
    std::cout << std::left << std::setw(14) << table << std::right << std::setw(12) << count
              << '\n';
  }
  connection.Disconnect();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  devir::cli::Options options;
  try {
    options = devir::cli::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const devir::cli::UsageError& e) {
    std::cerr << "devir-cli: " << e.what() << "\n" << devir::cli::UsageText();
    return 2;
  }
  if (options.help) {
    std::cout << devir::cli::UsageText();
    return 0;
  }
  try {
    if (options.row_counts) return RowCounts(options);
    std::cerr << "devir-cli: nothing to do (see --help)\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
}
