#pragma once

#include <optional>
#include <string>

#include "sandbox/engine/sql_error.h"

namespace sandbox {

class SqliteDb;

/// Registers on a connection the Turkish_CI_AS collation and the T-SQL built-in functions
/// that SQLite lacks (GETDATE, LEN, LEFT, RIGHT, CHARINDEX, NEWID, YEAR, ...), and the
/// stand-in's own: __devir_cast(value, 'type', 'source type', 'DMY|MDY|YMD', try) converts as
/// CAST does, __devir_divisor(x) is x or error 8134 when x is zero. Throws SqliteError.
void RegisterTsqlFunctions(SqliteDb& db);

/// An SQLite error message that carries a T-SQL error out of a function, and back.
std::string EncodeTsqlError(const SqlError& error);
/// The T-SQL error an SQLite error message carries; nullopt for SQLite's own messages.
std::optional<SqlError> DecodeTsqlError(const std::string& message);

/// The current local time as the stored form of datetime ("yyyy-mm-dd hh:mm:ss.fff").
std::string CurrentDateTimeText();
/// A new random uniqueidentifier in upper-case text form.
std::string NewGuidText();

}  // namespace sandbox
