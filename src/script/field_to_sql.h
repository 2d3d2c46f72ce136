#pragma once

#include <string>

#include "db/field.h"

namespace devir::script {

/// The SQL literal of one field of the current row, read by the server after
/// SET DATEFORMAT DMY; the same text whatever the system's locale:
/// - NULL for a null value; DEFAULT for timestamp/rowversion, which only the server fills;
/// - text: quoted with quotes doubled, N'...' for nchar, nvarchar, ntext, nvarchar(max) and
///   xml, CR and LF as CHAR(13)/CHAR(10) so the statement stays on one line (TextLiteral);
/// - integer: the digits ("0" when empty);
/// - float and real: the shortest text that reads back as the same value (1.5, 1E-5);
/// - datetime, smalldatetime: '31.12.2017', or '31.12.2017 14:30:00.000' with a time of day;
/// - bit 0 or 1; bigint digits; decimal, numeric, money, smallmoney their exact text;
///   binary, varbinary, image 0x followed by hex digits; any other type its text in quotes.
/// Throws std::domain_error for a float that is not a number, db::DatabaseError when the
/// value does not fit its kind.
std::string FieldToSql(const db::Field& field);

/// The same literal appended to out (the statement under construction). Throws as FieldToSql;
/// out may then hold part of the literal.
void AppendFieldSql(std::string& out, const db::Field& field);

}  // namespace devir::script
