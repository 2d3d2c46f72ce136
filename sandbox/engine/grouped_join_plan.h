#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/engine/query_context.h"
#include "sandbox/engine/statements.h"

namespace sandbox {

class DatabaseFile;

/// A GROUP BY over two right outer joins whose correlated subqueries total the middle table by
/// the group's keys, the shape of the stock balance query:
///
///   SELECT <columns of D and A, M.s>, <ISNULL((SELECT SUM|AVG|COUNT(..) FROM M ..), n) +- ..>
///   FROM A RIGHT JOIN M ON A.k = M.s RIGHT JOIN D ON D.c = M.g OR D.c = M.h
///   GROUP BY <columns of D>, M.s, <columns of A>
///
/// where A.k and D.c are unique text keys (D.c not null) and each subquery is keyed by D.c
/// through M.g or M.h and by M.s (or by D.c alone). SQLite runs it as a join sorted for
/// grouping plus every subquery once per group; the plan reads each table once, M in row
/// order, and totals by the groups' keys, so each total adds the same values in the same
/// order as SQLite's subquery does. Its rows come in SQLite's order (by the GROUP BY terms).
class GroupedJoinPlan {
 public:
  /// What Run did.
  enum class Outcome {
    kDone,       ///< every row was emitted
    kNotExact,   ///< nothing was emitted: the data holds what the plan cannot total exactly
                 ///< as SQLite (text in a summed column, an integer overflow, too many groups)
    kCancelled,  ///< cancelled() said so; rows may have been emitted
  };

  /// The plan for the query of tokens [range.begin, range.end), or nullopt when the query is
  /// not of this shape. Never throws for a query it does not take.
  static std::optional<GroupedJoinPlan> Match(const std::vector<Token>& tokens, TokenRange range,
                                              const QueryContext& context);

  /// Runs the plan on file's tables. Each row is typed by columns (the result columns of the
  /// query as SQLite would give them). cancelled is asked now and then. Throws SqliteError.
  Outcome Run(DatabaseFile& file, const std::vector<ResultColumn>& columns,
              const std::function<bool()>& cancelled,
              const std::function<void(const Row&)>& emit) const;

  /// Most groups the plan keeps in memory (about 60 bytes each for the balance query, 1.2
  /// million at the large sample's scale 1); a larger result goes back to SQLite.
  static constexpr std::size_t kMaxGroups = 4'000'000;

  // The parts of the query, for Run.
  enum Table { kCards = 0, kMoves = 1, kDepots = 2 };
  struct ColumnRef {
    Table table = kMoves;
    std::string column;
  };
  struct Total {  // one subquery
    enum class Kind { kSum, kAvg, kCount };
    Kind kind = Kind::kSum;
    std::string column;                   ///< empty: COUNT(*)
    std::optional<std::string> by_depot;  ///< the M column that must equal D.c
    bool by_item = false;                 ///< M.s must equal the group's M.s
    std::vector<std::string> not_null;    ///< M columns that must not be NULL
  };
  struct Expr {  // ISNULL(x, n), x + y, x - y, a subquery, a number
    enum class Kind { kNumber, kTotal, kIsNull, kAdd, kSubtract };
    Kind kind = Kind::kNumber;
    bool integer = true;
    std::int64_t int_value = 0;
    double real_value = 0;
    int total = -1;
    int left = -1;
    int right = -1;
  };
  struct Item {
    std::optional<ColumnRef> column;  ///< a plain column, else the expression expr
    int expr = -1;
  };

 private:
  GroupedJoinPlan() = default;

  std::string tables_[3];
  std::string card_key_;        ///< A.k
  std::string item_column_;     ///< M.s
  std::string depot_key_;       ///< D.c
  std::string depot_links_[2];  ///< M.g, M.h
  std::vector<ColumnRef> group_by_;
  std::vector<Item> items_;
  std::vector<Total> totals_;
  std::vector<Expr> exprs_;

  friend class GroupedJoinMatcher;
  friend class GroupedJoinRun;
};

}  // namespace sandbox
