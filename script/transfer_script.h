#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "db/field.h"
#include "db/query.h"
#include "script/row_source.h"
#include "script/statement_sink.h"

namespace devir::script {

/// Shows the step under way ("stok tablosu", "stokhareket tablosu", "depo+hk+dk").
using StageCallback = std::function<void(const std::string& stage)>;

/// The statement that creates the main depot, code 01.
inline constexpr char kMainDepotStatement[] = "INSERT INTO DEPO(KODU,ADI) VALUES('01','ANADEPO')";

/// Reads the source database and gives the transfer script line by line, in this order:
/// "SET DATEFORMAT DMY"; the STOK statements; one empty line; one carry-over movement per
/// row of `balance_sql` dated `opening_date`; the main depot statement; the statements of
/// HESAPKODU and DUZEYKODU1 to DUZEYKODU5. Sets the stage before each step. A statement
/// with a line break in it becomes several lines, as a list of lines would split it.
/// Throws what the source throws.
void BuildTransferScript(RowSource& rows, const db::DateTime& opening_date,
                         const std::string& balance_sql, const StageCallback& set_stage,
                         StatementSink& lines);

/// The whole step through the query `q` on the source database: the script in memory with
/// the stock balance query BalanceQuerySql, written to `trace_path` as well (at stage "depo+hk+dk";
/// an empty path writes no trace file). Throws db::DatabaseError with the server's message
/// and std::runtime_error when the trace file cannot be written.
std::vector<std::string> BuildTransferScript(db::Query& q, const db::DateTime& opening_date,
                                             const StageCallback& set_stage,
                                             const std::filesystem::path& trace_path);

}  // namespace devir::script
