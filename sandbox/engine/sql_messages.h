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

SqlError SystemDatabaseDetach(const std::string& name);  ///< 3708 (detach master)
SqlError ConversionFailed(const std::string& source, const std::string& value,
                          const std::string& target);              ///< 245
SqlError ExpressionOverflow(const std::string& type);              ///< 8115 (expression)
SqlError NameNotPermitted(const std::string& name, int line = 0);  ///< 128
SqlError FunctionArguments(const std::string& function, const std::string& count);  ///< 174
SqlError AggregateInWhere();                                                        ///< 147
SqlError UnknownSchema(const std::string& schema);                                  ///< 2760
SqlError IdentityType(const std::string& column);                                   ///< 2749
SqlError IdentityIncrementZero();  ///< 2750 (identity)
SqlError DefaultOnIdentity(const std::string& table, const std::string& column);   ///< 1754
SqlError NoSuchTargetColumn(const std::string& column);                            ///< 1911
SqlError CannotFindObject(const std::string& name);                                ///< 1088
SqlError DuplicateKeyOnIndex(const std::string& table, const std::string& index);  ///< 1505
SqlError DropDatabaseInTransaction();                                              ///< 574
SqlError InsertSelectCount(bool fewer);                    ///< 120 (fewer) or 121 (more)
SqlError IdentityValueRequired(const std::string& table);  ///< 545
SqlError NullIdentityValue();                              ///< 339
SqlError UserError(int severity, int state, const std::string& text, int line);  ///< 50000
SqlError SubstitutionTypeMismatch(int parameter);                                ///< 2786
SqlError SizeTooLarge(int size, const std::string& column, int max);             ///< 131
SqlError PrecisionTooLarge(const std::string& precision, int max);               ///< 2750
SqlError ScaleOutOfRange(int scale, const std::string& column, int precision);   ///< 183
SqlError InvalidScale(int scale);                                                ///< 1002
SqlError InvalidLength(const std::string& length);                               ///< 1001

SqlError OperandTypeClash(const std::string& source, const std::string& target);  ///< 206
SqlError ErrorConverting(const std::string& source, const std::string& target);   ///< 8114
SqlError IntColumnOverflow(const std::string& source, const std::string& value);  ///< 248
SqlError SmallIntColumnOverflow(const std::string& source, const std::string& value,
                                const std::string& column);                    ///< 244
SqlError DataTypeOverflow(const std::string& type, const std::string& value);  ///< 220
SqlError TypeOverflow(const std::string& type, const std::string& value);      ///< 232
SqlError ConvertingOverflow(const std::string& source, const std::string& target,
                            int state = 2);                 ///< 8115
SqlError MoneySyntax(bool small, const std::string& type);  ///< 235, 293 for smallmoney
SqlError WouldBeTruncated(const std::string& table, const std::string& column,
                          const std::string& value);                                ///< 2628
SqlError ImplicitConversion(const std::string& source, const std::string& target);  ///< 257
SqlError NotAUniqueIdentifier();                                                    ///< 8169
SqlError DateOutOfRange(const std::string& source, const std::string& target);      ///< 242
SqlError NotADateTime();                                                            ///< 241

/// 5701 "Changed database context to 'x'."
std::string ChangedDatabaseText(const std::string& name);

}  // namespace sandbox
