#include "sandbox/engine/sql_messages.h"

#include <cstdio>
#include <cstring>

#include "sandbox/engine/tsql_lexer.h"

namespace sandbox {

SqlError IncorrectSyntax(const std::string& near, int line) {
  if (IsReservedWord(near)) {
    return SqlError(156, 15, 1, "Incorrect syntax near the keyword '" + near + "'.", line);
  }
  return SqlError(102, 15, 1, "Incorrect syntax near '" + near + "'.", line);
}

SqlError IncorrectSyntaxAtEnd(int line) {
  return SqlError(102, 15, 1, "Incorrect syntax near ')'.", line);
}

SqlError UnclosedQuote(const std::string& rest, int line) {
  return SqlError(105, 15, 1, "Unclosed quotation mark after the character string '" + rest + "'.",
                  line);
}

SqlError MissingEndComment(int line) {
  return SqlError(113, 15, 1, "Missing end comment mark '*/'.", line);
}

SqlError MustDeclareVariable(const std::string& name) {
  return SqlError(137, 15, 2, "Must declare the scalar variable \"" + name + "\".");
}

SqlError InvalidObjectName(const std::string& name) {
  return SqlError(208, 16, 1, "Invalid object name '" + name + "'.");
}

SqlError InvalidColumnName(const std::string& name) {
  return SqlError(207, 16, 1, "Invalid column name '" + name + "'.");
}

SqlError MultiPartNotBound(const std::string& name) {
  return SqlError(4104, 16, 1, "The multi-part identifier \"" + name + "\" could not be bound.");
}

SqlError AmbiguousColumn(const std::string& name) {
  return SqlError(209, 16, 1, "Ambiguous column name '" + name + "'.");
}

SqlError MoreColumnsThanValues() {
  return SqlError(109, 15, 1,
                  "There are more columns in the INSERT statement than values specified in the "
                  "VALUES clause. The number of values in the VALUES clause must match the number "
                  "of columns specified in the INSERT statement.");
}

SqlError FewerColumnsThanValues() {
  return SqlError(110, 15, 1,
                  "There are fewer columns in the INSERT statement than values specified in the "
                  "VALUES clause. The number of values in the VALUES clause must match the number "
                  "of columns specified in the INSERT statement.");
}

SqlError ColumnCountMismatch() {
  return SqlError(213, 16, 1,
                  "Column name or number of supplied values does not match table definition.");
}

SqlError RowValueCountMismatch() {
  return SqlError(10709, 16, 1,
                  "The number of columns for each row in a table value constructor must be the "
                  "same.");
}

SqlError TooManyRowValues() {
  return SqlError(10738, 15, 1,
                  "The number of row value expressions in the INSERT statement exceeds the "
                  "maximum allowed number of 1000 row values.");
}

SqlError ColumnListedTwice(const std::string& column) {
  return SqlError(264, 16, 1,
                  "The column name '" + column +
                      "' is specified more than once in the SET clause or column list of an "
                      "INSERT. A column cannot be assigned more than one value in the same clause. "
                      "Modify the clause to make sure that a column is updated only once. If this "
                      "statement updates or inserts columns into a view, column aliasing can "
                      "conceal the duplication in your code.");
}

SqlError NullNotAllowed(const std::string& column, const std::string& qualified_table,
                        const std::string& verb) {
  return SqlError(515, 16, 2,
                  "Cannot insert the value NULL into column '" + column + "', table '" +
                      qualified_table + "'; column does not allow nulls. " + verb + " fails.");
}

SqlError IdentityInsertOff(const std::string& table) {
  return SqlError(544, 16, 1,
                  "Cannot insert explicit value for identity column in table '" + table +
                      "' when IDENTITY_INSERT is set to OFF.");
}

SqlError ExplicitTimestamp() {
  return SqlError(273, 16, 1,
                  "Cannot insert an explicit value into a timestamp column. Use INSERT with a "
                  "column list to exclude the timestamp column, or insert a DEFAULT into the "
                  "timestamp column.");
}

SqlError CannotUpdateIdentity(const std::string& column) {
  return SqlError(8102, 16, 1, "Cannot update identity column '" + column + "'.");
}

SqlError CannotUpdateTimestamp() {
  return SqlError(272, 16, 1, "Cannot update a timestamp column.");
}

SqlError DuplicateKey(bool primary, const std::string& constraint, const std::string& table,
                      const std::string& key) {
  return SqlError(2627, 14, 1,
                  std::string("Violation of ") + (primary ? "PRIMARY KEY" : "UNIQUE KEY") +
                      " constraint '" + constraint + "'. Cannot insert duplicate key in object '" +
                      table + "'. The duplicate key value is (" + key + ").");
}

SqlError DuplicateIndexKey(const std::string& table, const std::string& index,
                           const std::string& key) {
  return SqlError(2601, 14, 1,
                  "Cannot insert duplicate key row in object '" + table + "' with unique index '" +
                      index + "'. The duplicate key value is (" + key + ").");
}

SqlError ObjectExists(const std::string& name) {
  return SqlError(2714, 16, 6, "There is already an object named '" + name + "' in the database.");
}

SqlError UnknownType(int column_number, const std::string& type) {
  return SqlError(2715, 16, 6,
                  "Column, parameter, or variable #" + std::to_string(column_number) +
                      ": Cannot find data type " + type + ".");
}

SqlError MultiplePrimaryKeys(const std::string& table) {
  return SqlError(8110, 16, 0,
                  "Cannot add multiple PRIMARY KEY constraints to table '" + table + "'.");
}

SqlError MultipleIdentity(const std::string& table) {
  return SqlError(2744, 16, 2,
                  "Multiple identity columns specified for table '" + table +
                      "'. Only one identity column per table is allowed.");
}

SqlError DuplicateColumnName(const std::string& column) {
  return SqlError(2705, 16, 3,
                  "Column names in each table must be unique. Column name '" + column +
                      "' in table is specified more than once.");
}

SqlError IndexExists(const std::string& index, const std::string& table) {
  return SqlError(1913, 16, 1,
                  "The operation failed because an index or statistics with name '" + index +
                      "' already exists on table '" + table + "'.");
}

SqlError CannotDropTable(const std::string& name) {
  return SqlError(3701, 11, 5,
                  "Cannot drop the table '" + name +
                      "', because it does not exist or you do not have permission.");
}

SqlError CannotDropIndex(const std::string& name) {
  return SqlError(3701, 11, 7,
                  "Cannot drop the index '" + name +
                      "', because it does not exist or you do not have permission.");
}

SqlError CannotDropDatabase(const std::string& name) {
  return SqlError(3701, 11, 1,
                  "Cannot drop the database '" + name +
                      "', because it does not exist or you do not have permission.");
}

SqlError DatabaseInUseDrop(const std::string& name) {
  return SqlError(3702, 16, 4,
                  "Cannot drop database \"" + name + "\" because it is currently in use.");
}

SqlError DatabaseInUseDetach(const std::string& name) {
  return SqlError(3703, 16, 2,
                  "Cannot detach the database '" + name + "' because it is currently in use.");
}

SqlError DatabaseNotFound(const std::string& name) {
  return SqlError(
      911, 16, 1,
      "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
}

SqlError DatabaseExists(const std::string& name) {
  return SqlError(1801, 16, 3,
                  "Database '" + name + "' already exists. Choose a different database name.");
}

SqlError CannotOpenPhysicalFile(const std::string& path, int os_error) {
  // SQL Server prints the Windows error number and text; map the common POSIX errors onto
  // the Windows ones a client expects.
  int number = os_error;
  std::string text;
  if (os_error == ENOENT || os_error == ENOTDIR) {
    number = 2;
    text = "The system cannot find the file specified.";
  } else if (os_error == EACCES || os_error == EPERM) {
    number = 5;
    text = "Access is denied.";
  } else if (os_error == EBUSY) {
    number = 32;
    text = "The process cannot access the file because it is being used by another process.";
  } else if (os_error == ENOSPC) {
    number = 112;
    text = "There is not enough space on the disk.";
  } else if (os_error == EROFS) {
    number = 19;
    text = "The media is write protected.";
  } else {
    text = std::strerror(os_error);
    text += ".";
  }
  std::string n = std::to_string(number);
  return SqlError(5120, 16, 101,
                  "Unable to open the physical file \"" + path + "\". Operating system error " + n +
                      ": \"" + n + "(" + text + ")\".");
}

SqlError CreateDatabaseFailed() {
  return SqlError(1802, 16, 4,
                  "CREATE DATABASE failed. Some file names listed could not be created. Check "
                  "related errors.");
}

SqlError FileExists(const std::string& path) {
  return SqlError(5170, 16, 1,
                  "Cannot create file '" + path +
                      "' because it already exists. Change the file path or the file name, and "
                      "retry the operation.");
}

SqlError NotADatabaseFile(const std::string& path) {
  return SqlError(5172, 16, 15,
                  "The header for file '" + path +
                      "' is not a valid database file header. The FILE SIZE property is "
                      "incorrect.");
}

SqlError DetachUnknownDatabase(const std::string& name) {
  return SqlError(15010, 16, 1,
                  "The database '" + name +
                      "' does not exist. Supply a valid database name. To see available "
                      "databases, use sys.databases.");
}

SqlError SystemDatabase(const std::string& name) {
  return SqlError(3708, 16, 2,
                  "Cannot drop the database '" + name + "' because it is a system database.");
}

SqlError NotInTransaction(const std::string& statement) {
  return SqlError(226, 16, 6,
                  statement + " statement not allowed within multi-statement transaction.");
}

SqlError CommitWithoutBegin() {
  return SqlError(3902, 16, 1,
                  "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}

SqlError RollbackWithoutBegin() {
  return SqlError(3903, 16, 1,
                  "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}

SqlError StoredProcedureNotFound(const std::string& name) {
  return SqlError(2812, 16, 62, "Could not find stored procedure '" + name + "'.");
}

SqlError ProcedureArgumentMissing(const std::string& procedure, const std::string& parameter) {
  return SqlError(201, 16, 4,
                  "Procedure or function '" + procedure + "' expects parameter '" + parameter +
                      "', which was not supplied.");
}

SqlError TooManyArguments(const std::string& procedure) {
  return SqlError(8144, 16, 2,
                  "Procedure or function " + procedure + " has too many arguments specified.");
}

SqlError LockTimeout() {
  return SqlError(1222, 16, 51, "Lock request time out period exceeded.");
}

SqlError UnknownSetOption(const std::string& option) {
  return SqlError(195, 15, 1, "'" + option + "' is not a recognized SET option.");
}

SqlError InvalidDateFormat(const std::string& order) {
  return SqlError(2741, 16, 1, "SET DATEFORMAT date order '" + order + "' is invalid.");
}

SqlError UnsupportedLanguage(const std::string& language) {
  return SqlError(2732, 16, 1, "Error number 2732: language '" + language + "' is not supported.");
}

SqlError NoIdentityProperty(const std::string& table) {
  return SqlError(
      8106, 16, 1,
      "Table '" + table + "' does not have the identity property. Cannot perform SET operation.");
}

SqlError DeadlockVictim(int spid) {
  return SqlError(1205, 13, 45,
                  "Transaction (Process ID " + std::to_string(spid) +
                      ") was deadlocked on lock resources with another process and has been "
                      "chosen as the deadlock victim. Rerun the transaction.");
}

SqlError NoSuchTransactionName(const std::string& name) {
  return SqlError(6401, 16, 1,
                  "Cannot roll back " + name +
                      ". No transaction or savepoint of that name was "
                      "found.");
}

SqlError SaveWithoutTransaction() {
  return SqlError(628, 16, 0, "Cannot issue SAVE TRANSACTION when there is no active transaction.");
}

SqlError StatementTerminated() {
  return SqlError(3621, 0, 0, "The statement has been terminated.");
}

SqlError ParameterNotSupplied(const std::string& params, const std::string& statement,
                              const std::string& parameter) {
  return SqlError(8178, 16, 1,
                  "The parameterized query '(" + params + ")" + statement +
                      "' expects the parameter '" + parameter + "', which was not supplied.");
}

SqlError PreparedHandleNotFound(long long handle) {
  return SqlError(8179, 16, 2,
                  "Could not find prepared statement with handle " + std::to_string(handle) + ".");
}

SqlError NotAParameter(const std::string& name, const std::string& procedure) {
  return SqlError(8145, 16, 2, name + " is not a parameter for procedure " + procedure + ".");
}

SqlError ProcedureExpectsText(const std::string& parameter) {
  return SqlError(
      214, 16, parameter == "@parameters" ? 3 : 2,
      "Procedure expects parameter '" + parameter + "' of type 'ntext/nchar/nvarchar'.");
}

SqlError RaiseErrorSeverityTooHigh() {
  return SqlError(2754, 16, 1,
                  "Error severity levels greater than 18 can only be specified by members of the "
                  "sysadmin role, using the WITH LOG option.");
}

SqlError UserMessageNotFound(long long number, int severity, int state) {
  return SqlError(18054, 16, 1,
                  "Error " + std::to_string(number) + ", severity " + std::to_string(severity) +
                      ", state " + std::to_string(state) +
                      " was raised, but no message with that error number was found in "
                      "sys.messages. If error is larger than 50000, make sure the user-defined "
                      "message is added using sp_addmessage.");
}

SqlError LoginFailed(const std::string& user) {
  return SqlError(18456, 14, 1, "Login failed for user '" + user + "'.");
}

SqlError CannotOpenLoginDatabase(const std::string& name) {
  return SqlError(
      4060, 11, 1,
      "Cannot open database \"" + name + "\" requested by the login. The login failed.");
}

SqlError NestedTooDeeply() {
  return SqlError(191, 15, 1,
                  "Some part of your SQL statement is nested too deeply. Rewrite the query or "
                  "break it up into smaller queries.");
}

SqlError NestingLimit() {
  return SqlError(217, 16, 1,
                  "Maximum stored procedure, function, trigger, or view nesting level exceeded "
                  "(limit 32).");
}

SqlError DivideByZero() {
  return SqlError(8134, 16, 1, "Divide by zero error encountered.");
}

SqlError InvalidFunction(const std::string& name) {
  return SqlError(195, 15, 10, "'" + name + "' is not a recognized built-in function name.");
}

SqlError NotSupported(const std::string& what) {
  return SqlError(
      40517, 16, 1,
      "Keyword or statement option '" + what + "' is not supported in this version of SQL Server.");
}

SqlError InternalError(const std::string& what) {
  return SqlError(50000, 16, 1, "Internal error: " + what);
}

SqlError RpcNotSupported(const std::string& procedure) {
  return SqlError(50000, 16, 1,
                  "RPC is not supported by this stand-in" +
                      (procedure.empty() ? std::string() : " (" + procedure + ")") +
                      "; send the statement as a SQL batch.");
}

SqlError MalformedRequest(const std::string& what) {
  const bool cut = what == "message ends too early";
  return SqlError(4002, 16, 1,
                  std::string("The incoming tabular data stream (TDS) protocol stream is "
                              "incorrect. ") +
                      (cut ? "The stream ended unexpectedly." : what + "."));
}

SqlError UnsupportedTdsVersion(std::uint32_t version) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%x", version);
  return SqlError(17802, 20, 1,
                  std::string("The Tabular Data Stream (TDS) version ") + hex +
                      " of the client library used to open the connection is unsupported or "
                      "unknown. The connection has been closed.");
}

SqlError DatabaseOpenFailed(const std::string& name, const std::string& reason) {
  return SqlError(945, 14, 2,
                  "Database '" + name +
                      "' cannot be opened due to inaccessible files or insufficient memory or "
                      "disk space.  See the SQL Server errorlog for details. (" +
                      reason + ")");
}

SqlError SystemDatabaseDetach(const std::string& name) {
  return SqlError(3708, 16, 4,
                  "Cannot detach the database '" + name + "' because it is a system database.");
}

SqlError ConversionFailed(const std::string& source, const std::string& value,
                          const std::string& target) {
  return SqlError(245, 16, 1,
                  "Conversion failed when converting the " + source + " value '" + value +
                      "' to data type " + target + ".");
}

SqlError ExpressionOverflow(const std::string& type) {
  return SqlError(8115, 16, 2,
                  "Arithmetic overflow error converting expression to data type " + type + ".");
}

SqlError NameNotPermitted(const std::string& name, int line) {
  return SqlError(128, 15, 1,
                  "The name \"" + name +
                      "\" is not permitted in this context. Valid expressions are constants, "
                      "constant expressions, and (in some contexts) variables. Column names are "
                      "not permitted.",
                  line);
}

SqlError FunctionArguments(const std::string& function, const std::string& count) {
  return SqlError(174, 15, 1, "The " + function + " function requires " + count + ".");
}

SqlError AggregateInWhere() {
  return SqlError(147, 15, 1,
                  "An aggregate may not appear in the WHERE clause unless it is in a subquery "
                  "contained in a HAVING clause or a select list, and the column being "
                  "aggregated is an outer reference.");
}

SqlError UnknownSchema(const std::string& schema) {
  return SqlError(2760, 16, 1,
                  "The specified schema name \"" + schema +
                      "\" either does not exist or you do not have permission to use it.");
}

SqlError IdentityType(const std::string& column) {
  return SqlError(2749, 16, 2,
                  "Identity column '" + column +
                      "' must be of data type int, bigint, smallint, tinyint, or decimal or "
                      "numeric with a scale of 0, and constrained to be nonnullable.");
}

SqlError IdentityIncrementZero() {
  return SqlError(2750, 16, 1, "Identity increment cannot be zero.");
}

SqlError DefaultOnIdentity(const std::string& table, const std::string& column) {
  return SqlError(1754, 16, 0,
                  "Defaults cannot be created on columns with an IDENTITY attribute. Table '" +
                      table + "', column '" + column + "'.");
}

SqlError NoSuchTargetColumn(const std::string& column) {
  return SqlError(1911, 16, 1,
                  "Column name '" + column + "' does not exist in the target table or view.");
}

SqlError CannotFindObject(const std::string& name) {
  return SqlError(1088, 16, 12,
                  "Cannot find the object \"" + name +
                      "\" because it does not exist or you do not have permissions.");
}

SqlError DuplicateKeyOnIndex(const std::string& table, const std::string& index) {
  return SqlError(1505, 16, 1,
                  "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found "
                  "for the object name 'dbo." +
                      table + "' and the index name '" + index + "'.");
}

SqlError DropDatabaseInTransaction() {
  return SqlError(574, 16, 0, "DROP DATABASE statement cannot be used inside a user transaction.");
}

SqlError InsertSelectCount(bool fewer) {
  return SqlError(fewer ? 120 : 121, 15, 1,
                  std::string("The select list for the INSERT statement contains ") +
                      (fewer ? "fewer" : "more") +
                      " items than the insert list. The number of SELECT values must match the "
                      "number of INSERT columns.");
}

SqlError IdentityValueRequired(const std::string& table) {
  return SqlError(545, 16, 1,
                  "Explicit value must be specified for identity column in table '" + table +
                      "' either when IDENTITY_INSERT is set to ON or when a replication user is "
                      "inserting into a NOT FOR REPLICATION identity column.");
}

SqlError NullIdentityValue() {
  return SqlError(339, 16, 1, "DEFAULT or NULL are not allowed as explicit identity values.");
}

SqlError UserError(int severity, int state, const std::string& text, int line) {
  return SqlError(50000, severity, state, text, line);
}

SqlError SubstitutionTypeMismatch(int parameter) {
  return SqlError(2786, 16, 1,
                  "The data type of substitution parameter " + std::to_string(parameter) +
                      " does not match the expected type of the format specification.");
}

SqlError SizeTooLarge(int size, const std::string& column, int max) {
  return SqlError(131, 15, 2,
                  "The size (" + std::to_string(size) + ") given to the column '" + column +
                      "' exceeds the maximum allowed for any data type (" + std::to_string(max) +
                      ").");
}

SqlError PrecisionTooLarge(const std::string& precision, int max) {
  return SqlError(2750, 16, 1,
                  "Column or parameter #1: Specified column precision " + precision +
                      " is greater than the maximum precision of " + std::to_string(max) + ".");
}

SqlError ScaleOutOfRange(int scale, const std::string& column, int precision) {
  return SqlError(183, 15, 1,
                  "The scale (" + std::to_string(scale) + ") for column '" + column +
                      "' must be within the range 0 to " + std::to_string(precision) + ".");
}

SqlError InvalidScale(int scale) {
  return SqlError(1002, 16, 1, "Line 1: Specified scale " + std::to_string(scale) + " is invalid.");
}

SqlError InvalidLength(const std::string& length) {
  return SqlError(1001, 15, 1,
                  "Line 1: Length or precision specification " + length + " is invalid.");
}

SqlError OperandTypeClash(const std::string& source, const std::string& target) {
  return SqlError(206, 16, 2, "Operand type clash: " + source + " is incompatible with " + target);
}

SqlError ErrorConverting(const std::string& source, const std::string& target) {
  return SqlError(8114, 16, 5, "Error converting data type " + source + " to " + target + ".");
}

SqlError IntColumnOverflow(const std::string& source, const std::string& value) {
  return SqlError(
      248, 16, 1,
      "The conversion of the " + source + " value '" + value + "' overflowed an int column.");
}

SqlError SmallIntColumnOverflow(const std::string& source, const std::string& value,
                                const std::string& column) {
  return SqlError(244, 16, 1,
                  "The conversion of the " + source + " value '" + value + "' overflowed an " +
                      column + " column. Use a larger integer column.");
}

SqlError DataTypeOverflow(const std::string& type, const std::string& value) {
  return SqlError(220, 16, 2,
                  "Arithmetic overflow error for data type " + type + ", value = " + value + ".");
}

SqlError TypeOverflow(const std::string& type, const std::string& value) {
  return SqlError(232, 16, 1,
                  "Arithmetic overflow error for type " + type + ", value = " + value + ".");
}

SqlError ConvertingOverflow(const std::string& source, const std::string& target, int state) {
  return SqlError(
      8115, 16, state,
      "Arithmetic overflow error converting " + source + " to data type " + target + ".");
}

SqlError MoneySyntax(bool small, const std::string& type) {
  return SqlError(
      small ? 293 : 235, 16, 0,
      "Cannot convert a char value to " + type + ". The char value has incorrect syntax.");
}

SqlError WouldBeTruncated(const std::string& table, const std::string& column,
                          const std::string& value) {
  return SqlError(2628, 16, 1,
                  "String or binary data would be truncated in table '" + table + "', column '" +
                      column + "'. Truncated value: '" + value + "'.");
}

SqlError ImplicitConversion(const std::string& source, const std::string& target) {
  return SqlError(257, 16, 3,
                  "Implicit conversion from data type " + source + " to " + target +
                      " is not allowed. Use the CONVERT function to run this query.");
}

SqlError NotAUniqueIdentifier() {
  return SqlError(8169, 16, 2,
                  "Conversion failed when converting from a character string to uniqueidentifier.");
}

SqlError DateOutOfRange(const std::string& source, const std::string& target) {
  return SqlError(242, 16, 3,
                  "The conversion of a " + source + " data type to a " + target +
                      " data type resulted in an out-of-range value.");
}

SqlError NotADateTime() {
  return SqlError(241, 16, 1,
                  "Conversion failed when converting date and/or time from character string.");
}

std::string ChangedDatabaseText(const std::string& name) {
  return "Changed database context to '" + name + "'.";
}

}  // namespace sandbox
