#pragma once

// What a finished transfer must have left on the stand-in, checked from the source data and
// independently of the code that carried it: shared by the transfer tests of the run, the
// window and devir-cli.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "db/field.h"

namespace devir::testing {

/// The login every transfer test uses on the stand-in.
inline constexpr char kTestUser[] = "sa";
inline constexpr char kTestPassword[] = "qolvanet";

/// The tables a transfer writes into the target, in the order the script fills them.
const std::vector<std::string>& CarriedTables();

/// Row count of table in database.
long long CountRows(const std::string& server, const std::string& database,
                    const std::string& table);

/// Row count of every carried table in database.
std::map<std::string, long long> CountCarriedRows(const std::string& server,
                                                  const std::string& database);

/// Whether a database of that name is attached.
bool DatabaseAttached(const std::string& server, const std::string& name);

/// Runs sql in database (RunOnDatabase).
void RunSql(const std::string& server, const std::string& database, const std::string& sql);

/// STOK, HESAPKODU and DUZEYKODU1 to DUZEYKODU5 of target equal those of source column by
/// column, rows matched by their code, apart from ID and the row version SURUM; DEPO holds
/// the main depot alone.
void ExpectMasterTablesCarried(const std::string& server, const std::string& source,
                               const std::string& target);

/// STOKHAREKET of target holds exactly one carry-over movement per depot and item of the
/// source's movements, with the remaining quantity, the average entry price and their
/// product computed here from the source's movements, dated `date`.
void ExpectCarryOverMovements(const std::string& server, const std::string& source,
                              const std::string& target, const db::DateTime& date);

/// The registry holds one row for the year: ('E2018','2018','E2018').
void ExpectOneRegistryRow(const std::string& server, int year);

/// The trace file ends with CR LF, begins with "SET DATEFORMAT DMY" and holds one INSERT per
/// row of every carried table of target. Returns its non-empty lines.
std::size_t ExpectTraceMatchesTarget(const std::filesystem::path& trace, const std::string& server,
                                     const std::string& target);

/// Puts into data_dir, as the year's target files, a database like the template whose
/// STOK.STOKADI holds 99 characters instead of 100: the transfer attaches it (the template
/// copy never replaces it), and the longest names of the sample no longer fit.
void PlaceShortNameTarget(const std::string& server, const std::filesystem::path& data_dir,
                          int year);

/// The first STOK statement of the trace file that carries a name of 100 characters of
/// source: the line a transfer into PlaceShortNameTarget's database fails at.
std::string FirstTooLongNameLine(const std::filesystem::path& trace, const std::string& server,
                                 const std::string& source);

/// Size and digest of each of a database's files (and whether write-ahead files lie beside
/// them), to show that a run left them byte for byte as they were.
struct FilesSnapshot {
  std::map<std::string, std::pair<std::uintmax_t, std::uint64_t>> files;
  friend bool operator==(const FilesSnapshot&, const FilesSnapshot&) = default;
};

/// The snapshot of every file of data_dir whose name starts with database + "_" (every file
/// for an empty name). Take it while the stand-in is stopped: a running server may hold
/// changes in its write-ahead log.
FilesSnapshot SnapshotDatabaseFiles(const std::filesystem::path& data_dir,
                                    const std::string& database);

}  // namespace devir::testing
