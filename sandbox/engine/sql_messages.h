#pragma once

#include <cstdint>
#include <string>

#include "sandbox/engine/sql_error.h"

namespace sandbox {

// SQL Server's own errors, with its numbers, severities, states and texts. Each function
// builds the error; the caller throws it.

SqlError IncorrectSyntax(const std::string& near, int line);  ///< 102, or 156 for a keyword
SqlError IncorrectSyntaxAtEnd(int line);                      ///< 102 near end of batch
SqlError UnclosedQuote(const std::string& rest, int line);    ///< 105
SqlError MissingEndComment(int line);                         ///< 113
SqlError MustDeclareVariable(const std::string& name);        ///< 137
SqlError InvalidObjectName(const std::string& name);          ///< 208
SqlError InvalidColumnName(const std::string& name);          ///< 207
SqlError MultiPartNotBound(const std::string& name);          ///< 4104
SqlError AmbiguousColumn(const std::string& name);            ///< 209
SqlError MoreColumnsThanValues();                             ///< 109
SqlError FewerColumnsThanValues();                            ///< 110
SqlError ColumnCountMismatch();                               ///< 213
SqlError RowValueCountMismatch();                             ///< 10709
SqlError TooManyRowValues();                                  ///< 10738
SqlError ColumnListedTwice(const std::string& column);        ///< 264
SqlError NullNotAllowed(const std::string& column, const std::string& qualified_table,
                        const std::string& verb);          ///< 515
SqlError IdentityInsertOff(const std::string& table);      ///< 544
SqlError ExplicitTimestamp();                              ///< 273
SqlError CannotUpdateIdentity(const std::string& column);  ///< 8102
SqlError CannotUpdateTimestamp();                          ///< 272
SqlError DuplicateKey(bool primary, const std::string& constraint, const std::string& table,
                      const std::string& key);  ///< 2627
SqlError DuplicateIndexKey(const std::string& table, const std::string& index,
                           const std::string& key);                        ///< 2601
SqlError ObjectExists(const std::string& name);                            ///< 2714
SqlError UnknownType(int column_number, const std::string& type);          ///< 2715
SqlError MultiplePrimaryKeys(const std::string& table);                    ///< 8110
SqlError MultipleIdentity(const std::string& table);                       ///< 2744
SqlError DuplicateColumnName(const std::string& column);                   ///< 2705
SqlError IndexExists(const std::string& index, const std::string& table);  ///< 1913
SqlError CannotDropTable(const std::string& name);                         ///< 3701
SqlError CannotDropIndex(const std::string& name);                         ///< 3701 (index)
SqlError CannotDropDatabase(const std::string& name);                      ///< 3701 (database)
SqlError DatabaseInUseDrop(const std::string& name);                       ///< 3702
SqlError DatabaseInUseDetach(const std::string& name);                     ///< 3703
SqlError DatabaseNotFound(const std::string& name);                        ///< 911
SqlError DatabaseExists(const std::string& name);                          ///< 1801
SqlError CannotOpenPhysicalFile(const std::string& path, int os_error);    ///< 5120
SqlError CreateDatabaseFailed();                                           ///< 1802
SqlError FileExists(const std::string& path);                              ///< 5170
SqlError NotADatabaseFile(const std::string& path);                        ///< 5172
SqlError DetachUnknownDatabase(const std::string& name);                   ///< 15010
SqlError SystemDatabase(const std::string& name);           ///< 3708 (drop/detach master)
SqlError NotInTransaction(const std::string& statement);    ///< 226
SqlError CommitWithoutBegin();                              ///< 3902
SqlError RollbackWithoutBegin();                            ///< 3903
SqlError StoredProcedureNotFound(const std::string& name);  ///< 2812
SqlError ProcedureArgumentMissing(const std::string& procedure, const std::string& parameter);
SqlError TooManyArguments(const std::string& procedure);    ///< 8144
SqlError LockTimeout();                                     ///< 1222
SqlError UnknownSetOption(const std::string& option);       ///< 195 (SET)
SqlError InvalidDateFormat(const std::string& order);       ///< 2741
SqlError UnsupportedLanguage(const std::string& language);  ///< 2732
SqlError NoIdentityProperty(const std::string& table);      ///< 8106
SqlError DeadlockVictim(int spid);                          ///< 1205
SqlError NoSuchTransactionName(const std::string& name);    ///< 6401
SqlError SaveWithoutTransaction();                          ///< 628
SqlError StatementTerminated();                             ///< 3621 (informational)
SqlError ParameterNotSupplied(const std::string& params, const std::string& statement,
                              const std::string& parameter);                    ///< 8178
SqlError PreparedHandleNotFound(long long handle);                              ///< 8179
SqlError NotAParameter(const std::string& name, const std::string& procedure);  ///< 8145
SqlError ProcedureExpectsText(const std::string& parameter);                    ///< 214
SqlError RaiseErrorSeverityTooHigh();                                           ///< 2754
SqlError UserMessageNotFound(long long number, int severity, int state);        ///< 18054
SqlError LoginFailed(const std::string& user);                                  ///< 18456
SqlError CannotOpenLoginDatabase(const std::string& name);                      ///< 4060
SqlError NestedTooDeeply();                                                     ///< 191
SqlError NestingLimit();                                                        ///< 217
SqlError DivideByZero();                                                        ///< 8134
SqlError InvalidFunction(const std::string& name);                              ///< 195
SqlError NotSupported(const std::string& what);          ///< 40517-like, for gaps
SqlError InternalError(const std::string& what);         ///< 50000: a fault of the stand-in
SqlError RpcNotSupported(const std::string& procedure);  ///< 50000: a session without RPC
SqlError MalformedRequest(const std::string& what);      ///< 4002, the request is refused
SqlError UnsupportedTdsVersion(std::uint32_t version);   ///< 17802
SqlError DatabaseOpenFailed(const std::string& name, const std::string& reason);  ///< 945

/// 5701 "Changed database context to 'x'."
std::string ChangedDatabaseText(const std::string& name);

}  // namespace sandbox
