#pragma once

#include <string>

namespace sandbox {

class SqliteDb;

/// Registers on a connection the Turkish_CI_AS collation and the T-SQL built-in functions
/// that SQLite lacks (GETDATE, LEN, LEFT, RIGHT, CHARINDEX, NEWID, YEAR, ...). Throws
/// SqliteError.
void RegisterTsqlFunctions(SqliteDb& db);

/// The current local time as the stored form of datetime ("yyyy-mm-dd hh:mm:ss.fff").
std::string CurrentDateTimeText();
/// A new random uniqueidentifier in upper-case text form.
std::string NewGuidText();

}  // namespace sandbox
