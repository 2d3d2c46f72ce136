// Recognises the query shape GroupedJoinPlan runs; anything else is left to SQLite.
#include <string_view>

#include "sandbox/engine/grouped_join_plan.h"
#include "sandbox/engine/query_shape.h"
#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_error.h"

namespace sandbox {

namespace {

using Plan = GroupedJoinPlan;

bool IsTextColumn(const ColumnDef& column) {
  return IsStringType(column.type.type) && column.type.type != SqlType::Xml;
}

bool IsNumberColumn(const ColumnDef& column) {
  return IsIntegerType(column.type.type) || column.type.type == SqlType::Real ||
         column.type.type == SqlType::Float;
}

// True when the table has a primary key, unique constraint or unique index on column alone.
bool IsUniqueKey(const TableDef& table, const std::string& column) {
  for (const KeyDef& key : table.keys) {
    if (key.kind == KeyDef::Kind::kIndex || key.columns.size() != 1) continue;
    if (EqualsNoCase(key.columns[0], column)) return true;
  }
  return false;
}

// Thrown inside the matcher when the query is not of the plan's shape.
struct NoMatch {};

}  // namespace

class GroupedJoinMatcher {
 public:
  GroupedJoinMatcher(const std::vector<Token>& tokens, const QueryContext& context)
      : t_(tokens), context_(context) {}

  std::optional<Plan> Match(TokenRange range) {
    try {
      return MatchOrThrow(range);
    } catch (const NoMatch&) {
      return std::nullopt;
    } catch (const SqlError&) {
      return std::nullopt;
    }
  }

 private:
  struct Source {
    std::string exposed;
    std::string table;
    const TableDef* def = nullptr;
  };

  Plan MatchOrThrow(TokenRange range) {
    end_ = range.end;
    Require(t_[range.begin].IsWord("SELECT"));
    const QueryShape shape = AnalyzeQuery(t_, range.begin, range.end);
    Require(!shape.distinct && !shape.top);
    size_t i = shape.list_end;
    Require(i < end_ && t_[i].IsWord("FROM"));
    ++i;
    // A RIGHT JOIN M ON a = b RIGHT JOIN D ON c = d OR e = f GROUP BY ...
    sources_[Plan::kCards] = ReadSource(i);
    ExpectRightJoin(i);
    sources_[Plan::kMoves] = ReadSource(i);
    ExpectWord(i, "ON");
    const auto [card_key, item] = Link(i, Plan::kCards, Plan::kMoves);
    ExpectRightJoin(i);
    sources_[Plan::kDepots] = ReadSource(i);
    ExpectWord(i, "ON");
    const auto [depot_key, first_link] = Link(i, Plan::kDepots, Plan::kMoves);
    ExpectWord(i, "OR");
    const auto [depot_key_again, second_link] = Link(i, Plan::kDepots, Plan::kMoves);
    Require(EqualsNoCase(depot_key, depot_key_again));
    depot_key_ = depot_key;
    item_ = item;
    ExpectWord(i, "GROUP");
    ExpectWord(i, "BY");

    Plan plan;
    for (int table = 0; table < 3; ++table) plan.tables_[table] = sources_[table].def->name;
    plan.card_key_ = card_key;
    plan.item_column_ = item;
    plan.depot_key_ = depot_key;
    plan.depot_links_[0] = first_link;
    plan.depot_links_[1] = second_link;
    const TableDef& cards = *sources_[Plan::kCards].def;
    const TableDef& depots = *sources_[Plan::kDepots].def;
    const TableDef& moves = *sources_[Plan::kMoves].def;
    Require(IsUniqueKey(cards, card_key) && IsUniqueKey(depots, depot_key));
    Require(!depots.columns[depots.FindColumn(depot_key)].nullable);
    for (const std::string& column : {item, first_link, second_link}) {
      Require(IsTextColumn(moves.columns[moves.FindColumn(column)]));
    }
    Require(IsTextColumn(cards.columns[cards.FindColumn(card_key)]));
    Require(IsTextColumn(depots.columns[depots.FindColumn(depot_key)]));

    // GROUP BY: columns of D (D.c among them), then M.s, then columns of A.
    int stage = Plan::kDepots;
    bool has_depot_key = false;
    while (true) {
      const Plan::ColumnRef ref = OuterColumn(i);
      if (ref.table == Plan::kMoves) {
        Require(stage == Plan::kDepots && EqualsNoCase(ref.column, item));
        stage = Plan::kMoves;
      } else if (ref.table == Plan::kCards) {
        Require(stage != Plan::kDepots);
        stage = Plan::kCards;
      } else {
        // The plan orders depots itself: numbers, or text by the Turkish collation.
        const ColumnDef& column = depots.columns[depots.FindColumn(ref.column)];
        Require(stage == Plan::kDepots && (IsTextColumn(column) || IsNumberColumn(column)));
        has_depot_key = has_depot_key || EqualsNoCase(ref.column, depot_key);
      }
      plan.group_by_.push_back(ref);
      if (i >= end_) break;
      ExpectOp(i, ",");
    }
    Require(stage != Plan::kDepots && has_depot_key);

    for (const SelectItem& select_item : shape.items) {
      Require(!select_item.star);
      Plan::Item item_plan;
      size_t at = select_item.expr.begin;
      const size_t item_end = select_item.expr.end;
      if (select_item.plain_column) {
        const Plan::ColumnRef ref = OuterColumn(at);
        bool grouped = false;
        for (const Plan::ColumnRef& group : plan.group_by_) {
          grouped = grouped || (group.table == ref.table && EqualsNoCase(group.column, ref.column));
        }
        Require(grouped);
        item_plan.column = ref;
      } else {
        item_plan.expr = Expression(at, item_end, plan);
      }
      Require(at == item_end);
      plan.items_.push_back(std::move(item_plan));
    }
    return plan;
  }

  static void Require(bool condition) {
    if (!condition) throw NoMatch{};
  }

  void ExpectWord(size_t& i, std::string_view word) {
    Require(i < end_ && t_[i].IsWord(word));
    ++i;
  }

  void ExpectOp(size_t& i, std::string_view op) {
    Require(i < end_ && t_[i].IsOp(op));
    ++i;
  }

  void ExpectRightJoin(size_t& i) {
    ExpectWord(i, "RIGHT");
    if (i < end_ && t_[i].IsWord("OUTER")) ++i;
    ExpectWord(i, "JOIN");
  }

  // The parts of a dotted name at i without a leading dbo.
  std::vector<std::string> Name(size_t& i, size_t end) {
    Require(i < end && t_[i].IsName() && !IsReservedWord(t_[i].text));
    size_t next = i;
    std::vector<std::string> parts = NameChain(t_, i, end, &next);
    i = next;
    if (parts.size() >= 2 && EqualsNoCase(parts[0], "dbo")) parts.erase(parts.begin());
    for (const std::string& part : parts) Require(!part.empty());
    return parts;
  }

  // A table of the current database with its optional alias.
  Source ReadSource(size_t& i) {
    std::vector<std::string> parts = Name(i, end_);
    Require(parts.size() == 1);
    Source source;
    source.table = parts[0];
    source.exposed = parts[0];
    if (i < end_ && t_[i].IsWord("AS")) ++i;
    if (i < end_ && t_[i].IsName() && !IsReservedWord(t_[i].text)) {
      source.exposed = t_[i].kind == Token::Kind::kQuoted ? t_[i].value : t_[i].text;
      ++i;
    }
    Require(context_.find_table != nullptr);
    source.def = context_.find_table("", source.table);
    Require(source.def != nullptr);
    return source;
  }

  // A column of the outer query: qualified by a source's exposed name, or found in exactly
  // one source.
  Plan::ColumnRef OuterColumn(size_t& i) {
    const std::vector<std::string> parts = Name(i, end_);
    return ResolveOuter(parts);
  }

  Plan::ColumnRef ResolveOuter(const std::vector<std::string>& parts) {
    Require(parts.size() <= 2);
    std::optional<Plan::ColumnRef> found;
    for (int table = 0; table < 3; ++table) {
      const Source& source = sources_[table];
      if (parts.size() == 2 && !EqualsNoCase(parts[0], source.exposed)) continue;
      const int index = source.def->FindColumn(parts.back());
      if (index < 0) continue;
      Require(!found);  // ambiguous
      found = Plan::ColumnRef{static_cast<Plan::Table>(table), source.def->columns[index].name};
    }
    Require(found.has_value());
    return *found;
  }

  // "x = y" between a column of table first and one of table second, either way round.
  std::pair<std::string, std::string> Link(size_t& i, Plan::Table first, Plan::Table second) {
    Plan::ColumnRef left = OuterColumn(i);
    ExpectOp(i, "=");
    Plan::ColumnRef right = OuterColumn(i);
    if (left.table == second) std::swap(left, right);
    Require(left.table == first && right.table == second);
    return {left.column, right.column};
  }

  // expr := term (('+' | '-') term)*
  int Expression(size_t& i, size_t end, Plan& plan) {
    int left = Term(i, end, plan);
    while (i < end && (t_[i].IsOp("+") || t_[i].IsOp("-"))) {
      const bool add = t_[i].IsOp("+");
      ++i;
      const int right = Term(i, end, plan);
      Plan::Expr node;
      node.kind = add ? Plan::Expr::Kind::kAdd : Plan::Expr::Kind::kSubtract;
      node.left = left;
      node.right = right;
      left = Add(plan, node);
    }
    return left;
  }

  // term := ISNULL(expr, number) | (subquery) | (expr) | number
  int Term(size_t& i, size_t end, Plan& plan) {
    Require(i < end);
    if (t_[i].IsWord("ISNULL") && i + 1 < end && t_[i + 1].IsOp("(")) {
      const size_t close = MatchingParen(t_, i + 1, end);
      size_t at = i + 2;
      Plan::Expr node;
      node.kind = Plan::Expr::Kind::kIsNull;
      node.left = Expression(at, close, plan);
      ExpectOpBefore(at, close, ",");
      node.right = Number(at, close, plan);
      Require(at == close);
      i = close + 1;
      return Add(plan, node);
    }
    if (t_[i].IsOp("(")) {
      const size_t close = MatchingParen(t_, i, end);
      size_t at = i + 1;
      int node;
      if (at < close && t_[at].IsWord("SELECT")) {
        node = Subquery(at, close, plan);
      } else {
        node = Expression(at, close, plan);
      }
      Require(at == close);
      i = close + 1;
      return node;
    }
    return Number(i, end, plan);
  }

  void ExpectOpBefore(size_t& i, size_t end, std::string_view op) {
    Require(i < end && t_[i].IsOp(op));
    ++i;
  }

  int Number(size_t& i, size_t end, Plan& plan) {
    Require(i < end && t_[i].kind == Token::Kind::kNumber);
    const std::string& text = t_[i].text;
    Plan::Expr node;
    node.kind = Plan::Expr::Kind::kNumber;
    // SQLite reads digits alone as an integer (when it fits), anything else as a real.
    node.integer = text.find_first_not_of("0123456789") == std::string::npos && text.size() <= 18;
    if (node.integer) {
      node.int_value = std::stoll(text);
    } else {
      node.real_value = std::stod(text);
    }
    ++i;
    return Add(plan, node);
  }

  // SELECT SUM|AVG|COUNT(column | *) FROM M [alias] WHERE x = y [AND x = y]...
  int Subquery(size_t& i, size_t end, Plan& plan) {
    const TableDef& moves = *sources_[Plan::kMoves].def;
    ExpectWord(i, "SELECT");
    Plan::Total total;
    if (i < end && t_[i].IsWord("SUM")) {
      total.kind = Plan::Total::Kind::kSum;
    } else if (i < end && t_[i].IsWord("AVG")) {
      total.kind = Plan::Total::Kind::kAvg;
    } else {
      Require(i < end && t_[i].IsWord("COUNT"));
      total.kind = Plan::Total::Kind::kCount;
    }
    ++i;
    ExpectOpBefore(i, end, "(");
    const size_t argument = i;
    size_t argument_end = i;
    while (argument_end < end && !t_[argument_end].IsOp(")")) ++argument_end;
    Require(argument_end < end);
    i = argument_end + 1;
    ExpectWord(i, "FROM");
    std::vector<std::string> table = Name(i, end);
    Require(table.size() == 1 && EqualsNoCase(table[0], moves.name));
    std::string exposed = table[0];
    if (i < end && t_[i].IsWord("AS")) ++i;
    if (i < end && t_[i].IsName() && !IsReservedWord(t_[i].text)) {
      exposed = t_[i].kind == Token::Kind::kQuoted ? t_[i].value : t_[i].text;
      ++i;
    }
    inner_exposed_ = exposed;

    if (t_[argument].IsOp("*") && argument + 1 == argument_end) {
      Require(total.kind == Plan::Total::Kind::kCount);
    } else {
      size_t at = argument;
      const Resolved column = Column(at, argument_end);
      Require(at == argument_end && column.inner);
      const ColumnDef& def = moves.columns[moves.FindColumn(column.ref.column)];
      Require(total.kind == Plan::Total::Kind::kCount || IsNumberColumn(def));
      total.column = column.ref.column;
    }

    ExpectWord(i, "WHERE");
    while (true) {
      const Resolved left = Column(i, end);
      ExpectOpBefore(i, end, "=");
      const Resolved right = Column(i, end);
      Condition(left, right, total);
      if (i >= end) break;
      ExpectWord(i, "AND");
    }
    if (total.by_item) {
      // Totals by depot and item live in the groups, which the rows of M make through the
      // join: the depot column must be one the join links.
      Require(total.by_depot && (EqualsNoCase(*total.by_depot, plan.depot_links_[0]) ||
                                 EqualsNoCase(*total.by_depot, plan.depot_links_[1])));
    }
    if (OrderMatters(total)) Require(AddsInRowOrder(total));
    plan.totals_.push_back(std::move(total));
    Plan::Expr node;
    node.kind = Plan::Expr::Kind::kTotal;
    node.total = static_cast<int>(plan.totals_.size()) - 1;
    return Add(plan, node);
  }

  // A real sum or an average depends on the order its values are added in.
  bool OrderMatters(const Plan::Total& total) const {
    if (total.kind == Plan::Total::Kind::kCount) return false;
    const TableDef& moves = *sources_[Plan::kMoves].def;
    return total.kind == Plan::Total::Kind::kAvg ||
           !IsIntegerType(moves.columns[moves.FindColumn(total.column)].type.type);
  }

  // SQLite's subquery finds its rows by the key columns: through the table, an index
  // starting with one of them, or an index it makes on them. In each the rows of one key
  // follow each other in row order, unless the index goes on with other columns.
  bool AddsInRowOrder(const Plan::Total& total) const {
    std::vector<std::string> keys;
    if (total.by_depot) keys.push_back(*total.by_depot);
    if (total.by_item) keys.push_back(item_);
    auto is_key = [&keys](const std::string& column) {
      for (const std::string& key : keys) {
        if (EqualsNoCase(key, column)) return true;
      }
      return false;
    };
    for (const KeyDef& index : sources_[Plan::kMoves].def->keys) {
      if (index.columns.empty() || !is_key(index.columns[0])) continue;
      for (const std::string& column : index.columns) {
        if (!is_key(column)) return false;
      }
    }
    return true;
  }

  struct Resolved {
    bool inner = false;
    Plan::ColumnRef ref;
  };

  // A column inside a subquery: the inner table's when qualified by its name or alias, or
  // unqualified and the inner table has it (SQL Server binds the innermost scope first).
  Resolved Column(size_t& i, size_t end) {
    const std::vector<std::string> parts = Name(i, end);
    Require(parts.size() <= 2);
    const TableDef& moves = *sources_[Plan::kMoves].def;
    const bool inner_qualified = parts.size() == 2 && EqualsNoCase(parts[0], inner_exposed_);
    if (inner_qualified || (parts.size() == 1 && moves.FindColumn(parts[0]) >= 0)) {
      const int index = moves.FindColumn(parts.back());
      Require(index >= 0);
      return {true, {Plan::kMoves, moves.columns[index].name}};
    }
    return {false, ResolveOuter(parts)};
  }

  void Condition(const Resolved& left, const Resolved& right, Plan::Total& total) {
    const TableDef& moves = *sources_[Plan::kMoves].def;
    if (left.inner && right.inner) {
      // "x = x" of one column holds where it is not NULL.
      Require(EqualsNoCase(left.ref.column, right.ref.column));
      total.not_null.push_back(left.ref.column);
      return;
    }
    Require(left.inner != right.inner);
    const Plan::ColumnRef& inner = left.inner ? left.ref : right.ref;
    const Plan::ColumnRef& outer = left.inner ? right.ref : left.ref;
    Require(IsTextColumn(moves.columns[moves.FindColumn(inner.column)]));
    if (outer.table == Plan::kDepots && EqualsNoCase(outer.column, depot_key_)) {
      Require(!total.by_depot);
      total.by_depot = inner.column;
      return;
    }
    Require(outer.table == Plan::kMoves && !total.by_item);
    Require(EqualsNoCase(inner.column, item_) && EqualsNoCase(outer.column, item_));
    total.by_item = true;
  }

  static int Add(Plan& plan, const Plan::Expr& node) {
    plan.exprs_.push_back(node);
    return static_cast<int>(plan.exprs_.size()) - 1;
  }

  const std::vector<Token>& t_;
  const QueryContext& context_;
  size_t end_ = 0;
  Source sources_[3];
  std::string inner_exposed_;
  std::string depot_key_;  // D.c
  std::string item_;       // M.s
};

std::optional<GroupedJoinPlan> GroupedJoinPlan::Match(const std::vector<Token>& tokens,
                                                      TokenRange range,
                                                      const QueryContext& context) {
  return GroupedJoinMatcher(tokens, context).Match(range);
}

}  // namespace sandbox
