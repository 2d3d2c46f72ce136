#pragma once

#include <string_view>

namespace devir::target {

// The server's folder for database files and the separator the transfer run makes it end
// with. Windows keeps the installation's own folder; elsewhere SQL Server for Linux keeps its
// files under /var/opt/mssql/data/, where a backslash would be no separator.
#ifdef _WIN32
/// Default text of the data folder field.
inline constexpr std::string_view kDefaultDataFolder = "C:\\Miltoran\\Data\\";
/// The character the data folder must end with.
inline constexpr char kDataFolderSeparator = '\\';
#else
/// Default text of the data folder field.
inline constexpr std::string_view kDefaultDataFolder = "/var/opt/mssql/data/";
/// The character the data folder must end with.
inline constexpr char kDataFolderSeparator = '/';
#endif

}  // namespace devir::target
