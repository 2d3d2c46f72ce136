#pragma once

// Which ODBC driver the client connects with. Inside db/ only.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/odbc/api.h"

namespace devir::db::odbc {

/// Driver names tried in order among the installed ones: Microsoft's drivers on Windows,
/// "FreeTDS" elsewhere.
const std::vector<std::string>& PreferredDriverNames();

/// Where FreeTDS's ODBC library usually lies when it is not registered with the driver
/// manager (Debian/Ubuntu on x86-64 and ARM, Fedora, source builds, Homebrew).
const std::vector<std::filesystem::path>& KnownFreeTdsLibraryPaths();

/// The choice itself, without the system: `override` (DEVIR_ODBC_DRIVER) wins; else the
/// first preferred name among `installed` (case-insensitive); else the first known library
/// path that `exists`. Throws DatabaseError naming what was tried when none is left.
std::string PickDriver(const std::optional<std::string>& override,
                       const std::vector<std::string>& installed,
                       const std::function<bool(const std::filesystem::path&)>& exists);

/// The names of the drivers registered with the driver manager (SQLDriversW).
std::vector<std::string> InstalledDrivers(SQLHENV environment);

/// PickDriver on this machine.
std::string ChooseDriver(SQLHENV environment);

}  // namespace devir::db::odbc
