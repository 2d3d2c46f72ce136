#pragma once

#include <vector>

#include "sandbox/engine/query_context.h"
#include "sandbox/engine/query_shape.h"

namespace sandbox {

/// The type SQL Server gives an expression; known is false when the stand-in cannot tell
/// (the caller then types the column by its first value).
struct InferredType {
  bool known = false;
  ColumnType type;
  bool nullable = true;
};

/// Types select-list items as SQL Server does: columns by their declared type, COUNT as
/// int, SUM/AVG by the argument's type, ISNULL(x, y) as x, arithmetic by type precedence,
/// literals by their form. Never throws for malformed input (gives unknown).
class TypeInference {
 public:
  TypeInference(const std::vector<Token>& tokens, const QueryContext& context)
      : t_(tokens), context_(context) {}

  /// The type of item index of the query level shape.
  InferredType ItemType(const QueryShape& shape, size_t index);

  /// The type of a column that a * (qualifier.* when qualifier is set) brings in.
  InferredType StarColumn(const QueryShape& shape, const std::string& qualifier,
                          const std::string& column);

  /// The type of a column named by its table (for columns SQLite traces to a table).
  InferredType TableColumn(const std::string& database, const std::string& table,
                           const std::string& column);

 private:
  struct Source {
    std::string exposed;
    std::vector<std::pair<std::string, InferredType>> columns;
  };
  struct Scope {
    std::vector<Source> sources;
    const Scope* parent = nullptr;
  };

  Scope BuildScope(const QueryShape& shape, const Scope* parent, int depth);
  InferredType Item(const QueryShape& shape, size_t index, const Scope& scope, int depth);
  InferredType Expr(size_t& i, size_t end, const Scope& scope, int depth, int min_prec);
  InferredType Primary(size_t& i, size_t end, const Scope& scope, int depth);
  InferredType Function(const std::string& name, size_t open, size_t close, const Scope& scope,
                        int depth);
  InferredType Column(const std::vector<std::string>& parts, const Scope& scope);
  InferredType Range(size_t begin, size_t end, const Scope& scope, int depth);

  const std::vector<Token>& t_;
  const QueryContext& context_;
};

}  // namespace sandbox
