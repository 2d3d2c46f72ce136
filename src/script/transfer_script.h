#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/field.h"
#include "script/row_source.h"
#include "script/statement_sink.h"

namespace devir::script {

/// Shows the step under way ("stok tablosu", "stokhareket tablosu", "depo+hk+dk").
using StageCallback = std::function<void(const std::string& stage)>;

/// The statement that creates the main depot, code 01.
inline constexpr char kMainDepotStatement[] = "INSERT INTO DEPO(KODU,ADI) VALUES('01','ANADEPO')";

/// What one step of the script read from the source and wrote into the script.
struct ScriptStep {
  std::string table;   ///< the table of the new year the statements write
  std::string source;  ///< what was read: the table, the balance query, or "" for nothing
  std::size_t rows_read = 0;
  std::size_t statements = 0;
};

/// What the whole script holds, step by step in the script's order.
struct ScriptReport {
  std::vector<ScriptStep> steps;
  std::size_t opening_entries = 0;  ///< carry-over movements
  std::size_t lines = 0;            ///< non-empty lines (the statements the server will run)
};

/// The rowversion columns of a source table (RowVersionColumns), which its statements leave
/// out; empty: by the driver's type names alone.
using RowVersionLookup = std::function<std::vector<std::string>(std::string_view table)>;

/// What the balance query's step names as its source.
inline constexpr char kBalanceSource[] = "STOKHAREKET balances";

/// Reads the source database and gives the transfer script line by line, in this order:
/// "SET DATEFORMAT DMY"; the STOK statements; one empty line; one carry-over movement per
/// row of `balance_sql` dated `opening_date`; the main depot statement; the statements of
/// HESAPKODU and DUZEYKODU1 to DUZEYKODU5. Sets the stage before each step. A statement
/// with a line break in it becomes several lines, as a list of lines would split it. Each
/// copied table's rowversion columns are asked of row_versions, when set, within its stage.
/// Returns what each step read and wrote. Throws what the source throws.
ScriptReport BuildTransferScript(RowSource& rows, const db::DateTime& opening_date,
                                 const std::string& balance_sql, const StageCallback& set_stage,
                                 StatementSink& lines, const RowVersionLookup& row_versions = {});

}  // namespace devir::script
