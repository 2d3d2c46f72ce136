#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "db/server_login.h"
#include "script/row_source.h"
#include "target/target_year.h"

namespace devir::check {

/// One line of the proof's table: what a check compared and how much of it agrees.
struct ProofLine {
  std::string check;            ///< "STOK", "opening entries (STOKHAREKET)", "DEPO", "registry"
  std::size_t source_rows = 0;  ///< rows the target should hold, by the source
  std::size_t target_rows = 0;  ///< rows it holds
  std::size_t equal = 0;        ///< rows found equal on both sides
  std::size_t different = 0;    ///< rows that differ, are missing or should not be there
};

/// One value that is not as it should be.
struct ProofDifference {
  std::string table;
  std::string key;     ///< "STOKKODU A-100", "depot 01, STOKKODU A-100"
  std::string column;  ///< "(row)" when the whole row is missing on one side
  std::string source;  ///< the value the source gives, "(none)" when it has no such row
  std::string target;  ///< the value the target holds, "(none)" when it has no such row
};

/// How many differences a report keeps.
inline constexpr std::size_t kDifferencesShown = 20;

/// The proof that the target year holds what the source year had.
struct ProofReport {
  std::vector<ProofLine> lines;
  std::vector<ProofDifference> differences;  ///< the first kDifferencesShown
  std::size_t difference_count = 0;          ///< all of them

  /// Counts a difference and keeps it while there is room.
  void AddDifference(ProofDifference difference);
  /// True when every check found its rows equal and nothing else.
  bool Passed() const noexcept;
};

/// Every copied table equal row for row (rows matched by their key, every column compared
/// exactly except identity and rowversion columns, which the catalogue names): both sides
/// streamed in key order, one row of each in memory. Appends its line to report.
void CompareCopiedTable(script::RowSource& source, script::RowSource& target,
                        std::string_view table, ProofReport& report);

/// The target's STOKHAREKET holds exactly the opening entries that the source's movements
/// give, per depot of DEPO and item: received minus issued and the average entry price,
/// summed here from the movements in the order of their ID, and the amount as the script
/// writes it; nothing else. Streams both sides in item order, one item's depots in memory.
/// Appends its line to report.
void CompareOpeningEntries(script::RowSource& source, script::RowSource& target,
                           ProofReport& report);

/// The target's DEPO holds the main depot alone. Appends its line to report.
void CompareDepots(script::RowSource& target, ProofReport& report);

/// The registry holds one row for the year, ('E2018','2018','E2018'). registry reads
/// sirketambar. Appends its line to report.
void CompareRegistry(script::RowSource& registry, int year, ProofReport& report);

/// What the proof needs.
struct ProofSettings {
  db::ServerLogin login;
  std::string source;  ///< the source database's name
  int target_year = target::kTargetYear;
  /// How long one query may wait for the server: sorting a year of movements takes a while.
  int command_timeout_seconds = 600;
};

/// The whole proof, reading only, on connections of its own to the source, the target and
/// the registry. Throws db::DatabaseError when a database cannot be read.
ProofReport ProveTransfer(const ProofSettings& settings);

/// What failed, for a message box: each line with differences and the differences kept.
std::string ProofFindingsText(const ProofReport& report, const std::string& source,
                              const std::string& target);

}  // namespace devir::check
