#pragma once

#include <string>

#include "db/query.h"
#include "script/row_source.h"
#include "script/statement_sink.h"

namespace devir::script {

/// Reads every row of `table` ("SELECT * FROM table") and gives one statement per row,
/// INSERT INTO STOK(STOKKODU,STOKADI) VALUES(N'A-100',N'Vida'), with the columns in the
/// query's order; columns named exactly "ID" or "HID" are left out (case-sensitive); a name
/// that is not a regular identifier goes in brackets ([A B]). Each value is written by
/// FieldToSql. The query is closed at the end, also on failure.
/// Throws what the source and FieldToSql throw; statements given before stay given.
void TableCopyStatements(RowSource& rows, const std::string& table, StatementSink& statements);

/// As TableCopyStatements, appending each statement and CR LF to `script`.
void TableCopyScript(RowSource& rows, const std::string& table, std::string& script);

/// The table script read through the database client's query `q`, which must be on the
/// source database. Throws db::DatabaseError with the server's message (a missing table,
/// say); `script` keeps what was appended before.
void TableCopyScript(db::Query& q, const std::string& table, std::string& script);

}  // namespace devir::script
