#pragma once

#include <string>
#include <vector>

#include "sandbox/engine/query_context.h"
#include "sandbox/engine/query_shape.h"
#include "sandbox/engine/statements.h"

namespace sandbox {

/// A T-SQL query rewritten for SQLite.
struct TranslatedQuery {
  std::string sql;
  QueryShape shape;                    ///< the outermost query level, for result typing
  std::vector<std::string> databases;  ///< other databases named by three-part names
};

/// Rewrites T-SQL text for SQLite token by token: drops dbo. and db.dbo. prefixes, turns
/// [x] into "x", N'..' into '..', TOP n into LIMIT n, ISNULL into IFNULL, system views into
/// inline rows, @@VERSION and friends into constants. Throws SqlError for names that T-SQL
/// users must not see (208), undeclared variables (137) and unsupported forms.
class SelectTranslator {
 public:
  SelectTranslator(const std::vector<Token>& tokens, const QueryContext& context)
      : t_(tokens), context_(context) {}

  /// A whole query starting at SELECT or WITH.
  TranslatedQuery Query(TokenRange range);
  /// A free expression or condition (WHERE, SET values, IF conditions).
  std::string Expression(TokenRange range);
  /// Databases named by three-part names so far.
  const std::vector<std::string>& Databases() const { return databases_; }

 private:
  std::string Level(size_t select_pos, size_t end, bool outermost, QueryShape* shape_out);
  std::string Emit(size_t begin, size_t end);
  std::string EmitName(size_t& i, size_t end);
  std::string EmitFunction(const std::string& name, size_t& i, size_t end);
  std::string VirtualSource(const std::string& schema, const std::string& name,
                            const std::string& written, bool add_alias);
  ColumnType CastType(size_t begin, size_t end);
  /// CAST(value AS type) as the stand-in's own conversion function call.
  std::string CastCall(size_t value_begin, size_t value_end, size_t type_begin, size_t type_end,
                       bool try_cast);
  /// The declared type of a lone column reference in [begin, end); nullopt for anything else.
  std::optional<ColumnType> ColumnTypeOf(size_t begin, size_t end) const;
  /// The end of the operand that starts at i (after unary signs): a literal, a name, a call,
  /// a parenthesised expression or a CASE.
  size_t OperandEnd(size_t i, size_t end) const;
  /// The outer column references of a simple correlated subquery (translated), empty when
  /// it has none or is not simple enough to tell.
  std::vector<std::string> OuterReferences(size_t select_pos, size_t end);
  /// True when a column next to the + at plus is a text column: + then concatenates.
  bool StringOperandAround(size_t plus, size_t begin, size_t end) const;

  const std::vector<Token>& t_;
  const QueryContext& context_;
  std::vector<std::string> databases_;
  static constexpr size_t kMaxNesting = 32;
  int next_memo_ = 1;
  std::vector<std::vector<FromSource>> scopes_;  ///< FROM sources of the enclosing levels
};

/// A result value as an SQLite literal.
std::string SqlLiteral(const Value& value);

}  // namespace sandbox
