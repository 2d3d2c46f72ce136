#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "script/row_source.h"
#include "script/statement_sink.h"

namespace devir::script {

/// Reads every row of `table` ("SELECT * FROM table") and gives one statement per row,
/// INSERT INTO STOK(STOKKODU,STOKADI) VALUES(N'A-100',N'Vida'), with the columns in the
/// query's order; columns named exactly "ID" or "HID" are left out (case-sensitive), and so
/// are the rowversion columns the server fills itself: those named in `row_versions` (by the
/// catalogue, RowVersionColumns) and those the driver reports as timestamp. A name that is
/// not a regular identifier goes in brackets ([A B]). Each value is written by FieldToSql.
/// The query is closed at the end, also on failure. Returns the rows read (one statement
/// each). Throws what the source and FieldToSql throw (a missing table, say); statements
/// given before stay given.
std::size_t TableCopyScript(RowSource& rows, std::string_view table, StatementSink& script,
                            const std::vector<std::string>& row_versions = {});

}  // namespace devir::script
