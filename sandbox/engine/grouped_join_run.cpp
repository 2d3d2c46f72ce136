// Runs a GroupedJoinPlan: each table read once, totals kept per group, rows in GROUP BY order.
#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "sandbox/engine/database_file.h"
#include "sandbox/engine/grouped_join_plan.h"
#include "sandbox/engine/stored_value.h"
#include "sandbox/engine/text_fold.h"

namespace sandbox {

namespace {

using Plan = GroupedJoinPlan;
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr int kCancelCheckRows = 4096;

// A stored value; text and blobs live in the run's arena.
struct Raw {
  union {
    std::int64_t integer = 0;
    double real;
    std::uint64_t offset;
  };
  std::uint32_t length = 0;
  Storage storage = Storage::kNull;
};

// Raw values of the current row as StoredValue reads them.
struct RawSource {
  const Raw& raw;
  const std::string& arena;
  Storage Type() const { return raw.storage; }
  std::int64_t Int() const { return raw.integer; }
  double Double() const { return raw.real; }
  std::string_view Text() const { return std::string_view(arena).substr(raw.offset, raw.length); }
  std::string_view Bytes() const { return Text(); }
};

// A computed value: NULL, an integer or a real.
struct Number {
  Storage storage = Storage::kNull;
  std::int64_t integer = 0;
  double real = 0;
  double AsReal() const {
    return storage == Storage::kInteger ? static_cast<double>(integer) : real;
  }
};

// The state of SQLite's sum(), avg() and count() (func.c of SQLite 3.39 to 3.42) for every
// subquery and row (a group, a depot), a column per part: integers are added exactly and as
// reals, anything else only as a real, in the order given. Subqueries over real columns keep
// no integer part: SQLite reads their values as reals.
class Totals {
 public:
  Totals(const std::vector<GroupedJoinPlan::Total>& totals, const std::vector<bool>& integers)
      : parts_(totals.size()) {
    for (std::size_t t = 0; t < totals.size(); ++t) {
      parts_[t].kind = totals[t].kind;
      parts_[t].integers = integers[t];
    }
  }

  void Reserve(std::size_t rows) {
    for (Part& part : parts_) {
      part.count.reserve(rows);
      if (part.kind == Kind::kCount) continue;
      part.real_sum.reserve(rows);
      if (part.integers) {
        part.integer_sum.reserve(rows);
        part.flags.reserve(rows);
      }
    }
  }

  void AddRows(std::size_t rows) {
    for (Part& part : parts_) {
      const std::size_t size = part.count.size() + rows;
      part.count.resize(size);
      if (part.kind == Kind::kCount) continue;
      part.real_sum.resize(size);
      if (part.integers) {
        part.integer_sum.resize(size);
        part.flags.resize(size);
      }
    }
  }

  void Count(std::size_t t, std::size_t row) { ++parts_[t].count[row]; }

  // Adds one value; false for what the plan does not add itself: text, a blob, or an integer
  // where it keeps no integer part.
  bool Add(std::size_t t, std::size_t row, const Raw& value) {
    Part& part = parts_[t];
    if (part.kind == Kind::kCount) {
      if (value.storage != Storage::kNull) ++part.count[row];
      return true;
    }
    switch (value.storage) {
      case Storage::kNull:
        return true;
      case Storage::kInteger:
        if (!part.integers) return false;
        ++part.count[row];
        part.real_sum[row] += static_cast<double>(value.integer);
        if ((part.flags[row] & (kApproximate | kOverflow)) == 0 &&
            __builtin_add_overflow(part.integer_sum[row], value.integer, &part.integer_sum[row])) {
          part.flags[row] |= kApproximate | kOverflow;
        }
        return true;
      case Storage::kFloat:
        ++part.count[row];
        part.real_sum[row] += value.real;
        if (part.integers) part.flags[row] |= kApproximate;
        return true;
      default:
        return false;
    }
  }

  // True when a sum's integers overflowed (SQLite fails such a sum).
  bool Overflowed(std::size_t t) const {
    const Part& part = parts_[t];
    return part.kind == Kind::kSum &&
           std::any_of(part.flags.begin(), part.flags.end(),
                       [](std::uint8_t flags) { return (flags & kOverflow) != 0; });
  }

  // The subquery's value for row; nullopt: no row of M has the key (the empty set's value).
  Number Value(std::size_t t, std::optional<std::size_t> row) const {
    const Part& part = parts_[t];
    const std::uint32_t count = row ? part.count[*row] : 0;
    Number number;
    if (part.kind == Kind::kCount) {
      number.storage = Storage::kInteger;
      number.integer = count;
      return number;
    }
    if (count == 0) return number;  // NULL
    const double real_sum = part.real_sum[*row];
    const std::uint8_t flags = part.integers ? part.flags[*row] : kApproximate;
    if (part.kind == Kind::kAvg) {
      number.storage = Storage::kFloat;
      number.real = real_sum / static_cast<double>(count);
    } else if (flags & kApproximate) {
      number.storage = Storage::kFloat;
      number.real = real_sum;
    } else {
      number.storage = Storage::kInteger;
      number.integer = part.integer_sum[*row];
    }
    return number;
  }

 private:
  using Kind = GroupedJoinPlan::Total::Kind;
  static constexpr std::uint8_t kApproximate = 1;
  static constexpr std::uint8_t kOverflow = 2;
  struct Part {
    Kind kind = Kind::kSum;
    bool integers = false;  // the column may hold integers
    std::vector<std::uint32_t> count;
    std::vector<double> real_sum;
    std::vector<std::int64_t> integer_sum;
    std::vector<std::uint8_t> flags;
  };
  std::vector<Part> parts_;
};

struct NumberSource {
  const Number& number;
  Storage Type() const { return number.storage; }
  std::int64_t Int() const { return number.integer; }
  double Double() const { return number.real; }
  std::string_view Text() const { return {}; }
  std::string_view Bytes() const { return {}; }
};

// Hashes std::string and std::string_view alike, so that lookups need no string.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};
template <typename T>
using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

// Group key lookup: open addressing over (depot, item) pairs.
class GroupIndex {
 public:
  std::uint32_t* Find(std::uint64_t key, const std::vector<std::uint64_t>& keys) {
    if (slots_.empty() || (used_ + 1) * 2 > slots_.size()) Grow(keys);
    std::size_t at = Hash(key) & (slots_.size() - 1);
    while (slots_[at] != kNone && keys[slots_[at]] != key) at = (at + 1) & (slots_.size() - 1);
    return &slots_[at];
  }
  void Used() { ++used_; }

 private:
  static std::size_t Hash(std::uint64_t key) {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return static_cast<std::size_t>(key);
  }
  void Grow(const std::vector<std::uint64_t>& keys) {
    std::vector<std::uint32_t> old = std::move(slots_);
    slots_.assign(std::max<std::size_t>(1024, old.size() * 2), kNone);
    for (std::uint32_t group : old) {
      if (group == kNone) continue;
      std::size_t at = Hash(keys[group]) & (slots_.size() - 1);
      while (slots_[at] != kNone) at = (at + 1) & (slots_.size() - 1);
      slots_[at] = group;
    }
  }
  std::vector<std::uint32_t> slots_;
  std::size_t used_ = 0;
};

}  // namespace

class GroupedJoinRun {
 public:
  GroupedJoinRun(const Plan& plan, DatabaseFile& file) : plan_(plan), file_(file) {
    global_totals_.AddRows(1);
  }

  Plan::Outcome Run(const std::vector<ResultColumn>& columns,
                    const std::function<bool()>& cancelled,
                    const std::function<void(const Row&)>& emit) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      // A real stored in a text column would need SQLite's own number formatting.
      const ColumnType& type = columns[c].type;
      if (plan_.items_[c].column && !IsIntegerType(type.type) && type.type != SqlType::Real &&
          type.type != SqlType::Float && !IsExactNumericType(type.type)) {
        text_columns_.push_back(c);
      }
    }
    if (!ReadDepots() || !ReadCards()) return Plan::Outcome::kNotExact;
    const Plan::Outcome scanned = ReadMoves(cancelled);
    if (scanned != Plan::Outcome::kDone) return scanned;
    for (std::uint32_t depot = 0; depot < depot_count_; ++depot) {
      if (!depot_has_group_[depot]) NewGroup(depot, kNone);
    }
    return Emit(columns, cancelled, emit);
  }

 private:
  // Which subqueries total a column that may hold integers: any but a real one (and
  // COUNT(*)).
  static std::vector<bool> IntegerTotals(const Plan& plan, DatabaseFile& file) {
    const TableDef* moves = file.FindTable(plan.tables_[GroupedJoinPlan::kMoves]);
    std::vector<bool> integers;
    for (const GroupedJoinPlan::Total& total : plan.totals_) {
      const int column = total.column.empty() || !moves ? -1 : moves->FindColumn(total.column);
      const SqlType type = column < 0 ? SqlType::Int : moves->columns[column].type.type;
      integers.push_back(!total.column.empty() && type != SqlType::Real && type != SqlType::Float);
    }
    return integers;
  }

  // Column names of a table the run reads, each once.
  std::vector<std::string> Needed(Plan::Table table) const {
    std::vector<std::string> names;
    auto add = [&names](const std::string& name) {
      for (const std::string& known : names) {
        if (EqualsNoCase(known, name)) return;
      }
      names.push_back(name);
    };
    if (table == Plan::kCards) add(plan_.card_key_);
    if (table == Plan::kDepots) add(plan_.depot_key_);
    if (table == Plan::kMoves) {
      add(plan_.depot_links_[0]);
      add(plan_.depot_links_[1]);
      add(plan_.item_column_);
      for (const Plan::Total& total : plan_.totals_) {
        if (!total.column.empty()) add(total.column);
        if (total.by_depot) add(*total.by_depot);
        for (const std::string& column : total.not_null) add(column);
      }
    }
    for (const Plan::Item& item : plan_.items_) {
      if (item.column && item.column->table == table) add(item.column->column);
    }
    for (const Plan::ColumnRef& ref : plan_.group_by_) {
      if (ref.table == table) add(ref.column);
    }
    return names;
  }

  static int IndexOf(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (EqualsNoCase(names[i], name)) return static_cast<int>(i);
    }
    return -1;
  }

  SqliteStmt Scan(Plan::Table table, const std::vector<std::string>& names) {
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < names.size(); ++i) sql += (i ? ", " : "") + QuoteIdent(names[i]);
    // Row order: the order in which SQLite's own subqueries add the rows of a key.
    sql += " FROM " + QuoteIdent(plan_.tables_[table]) + " ORDER BY rowid";
    return file_.Db().Prepare(sql);
  }

  Raw Read(sqlite3_stmt* stmt, int column) {
    Raw raw;
    raw.storage = static_cast<Storage>(sqlite3_column_type(stmt, column));
    switch (raw.storage) {
      case Storage::kInteger:
        raw.integer = sqlite3_column_int64(stmt, column);
        break;
      case Storage::kFloat:
        raw.real = sqlite3_column_double(stmt, column);
        break;
      case Storage::kText:
      case Storage::kBlob: {
        const void* data = raw.storage == Storage::kText
                               ? static_cast<const void*>(sqlite3_column_text(stmt, column))
                               : sqlite3_column_blob(stmt, column);
        raw.length = static_cast<std::uint32_t>(sqlite3_column_bytes(stmt, column));
        raw.offset = arena_.size();
        if (data) arena_.append(static_cast<const char*>(data), raw.length);
        break;
      }
      case Storage::kNull:
        break;
    }
    return raw;
  }

  const Raw& DepotValue(std::size_t depot, int column) const {
    return depot_values_[depot * depot_columns_.size() + static_cast<std::size_t>(column)];
  }
  const Raw& CardValue(std::size_t card, int column) const {
    return card_values_[card * card_columns_.size() + static_cast<std::size_t>(column)];
  }

  std::string_view TextOf(const Raw& raw) const {
    return std::string_view(arena_).substr(raw.offset, raw.length);
  }

  // The rows of D, with the lookup from the folded key text to the row.
  bool ReadDepots() {
    depot_columns_ = Needed(Plan::kDepots);
    SqliteStmt stmt = Scan(Plan::kDepots, depot_columns_);
    const int key = IndexOf(depot_columns_, plan_.depot_key_);
    while (stmt.Step()) {
      const std::size_t depot = depot_count_++;
      for (std::size_t c = 0; c < depot_columns_.size(); ++c) {
        depot_values_.push_back(Read(stmt.Get(), static_cast<int>(c)));
      }
      const Raw& code = DepotValue(depot, key);
      if (code.storage != Storage::kText) return false;
      if (!depot_by_key_.emplace(TurkishSortKey(TextOf(code)), depot).second) return false;
    }
    depot_has_group_.assign(depot_count_, false);
    depot_totals_.AddRows(depot_count_);
    return true;
  }

  bool ReadCards() {
    card_columns_ = Needed(Plan::kCards);
    SqliteStmt stmt = Scan(Plan::kCards, card_columns_);
    const int key = IndexOf(card_columns_, plan_.card_key_);
    while (stmt.Step()) {
      const std::size_t card = card_count_++;
      for (std::size_t c = 0; c < card_columns_.size(); ++c) {
        card_values_.push_back(Read(stmt.Get(), static_cast<int>(c)));
      }
      const Raw& code = CardValue(card, key);
      if (code.storage != Storage::kText) return false;
      if (!card_by_key_.emplace(TurkishSortKey(TextOf(code)), card).second) return false;
    }
    return true;
  }

  // The depot whose key equals text, or kNone.
  std::uint32_t DepotOf(std::string_view text) {
    auto seen = depot_of_text_.find(text);
    if (seen != depot_of_text_.end()) return seen->second;
    auto it = depot_by_key_.find(TurkishSortKey(text));
    const std::uint32_t depot =
        it == depot_by_key_.end() ? kNone : static_cast<std::uint32_t>(it->second);
    depot_of_text_.emplace(std::string(text), depot);
    return depot;
  }

  // The item (one per folded text) that text names; its first text is the group's.
  std::uint32_t ItemOf(std::string_view text) {
    auto seen = item_of_text_.find(text);
    if (seen != item_of_text_.end()) return seen->second;
    std::string key = TurkishSortKey(text);
    auto it = item_by_key_.find(key);
    std::uint32_t item;
    if (it == item_by_key_.end()) {
      item = static_cast<std::uint32_t>(item_keys_.size());
      item_by_key_.emplace(key, item);
      item_keys_.push_back(std::move(key));
      item_texts_.emplace_back(text);
    } else {
      item = it->second;
    }
    item_of_text_.emplace(std::string(text), item);
    return item;
  }

  std::uint32_t NewGroup(std::uint32_t depot, std::uint32_t item) {
    const auto group = static_cast<std::uint32_t>(group_keys_.size());
    group_keys_.push_back(static_cast<std::uint64_t>(depot) << 32 | item);
    group_totals_.AddRows(1);
    depot_has_group_[depot] = true;
    return group;
  }

  std::uint32_t GroupOf(std::uint32_t depot, std::uint32_t item) {
    const std::uint64_t key = static_cast<std::uint64_t>(depot) << 32 | item;
    std::uint32_t* slot = group_index_.Find(key, group_keys_);
    if (*slot == kNone) {
      *slot = NewGroup(depot, item);
      group_index_.Used();
    }
    return *slot;
  }

  Plan::Outcome ReadMoves(const std::function<bool()>& cancelled) {
    const std::vector<std::string> names = Needed(Plan::kMoves);
    const int links[2] = {IndexOf(names, plan_.depot_links_[0]),
                          IndexOf(names, plan_.depot_links_[1])};
    const int item_column = IndexOf(names, plan_.item_column_);
    struct TotalColumns {
      int value = -1;
      int depot = -1;
      std::vector<int> not_null;
    };
    std::vector<TotalColumns> total_columns;
    for (const Plan::Total& total : plan_.totals_) {
      TotalColumns columns;
      if (!total.column.empty()) columns.value = IndexOf(names, total.column);
      if (total.by_depot) columns.depot = IndexOf(names, *total.by_depot);
      for (const std::string& name : total.not_null)
        columns.not_null.push_back(IndexOf(names, name));
      total_columns.push_back(std::move(columns));
    }
    {
      // Each row makes at most two groups: room for them all up front, so that the group
      // tables never move (and never hold two copies) while they grow.
      SqliteStmt count =
          file_.Db().Prepare("SELECT COUNT(*) FROM " + QuoteIdent(plan_.tables_[Plan::kMoves]));
      count.Step();
      const auto most = std::min<std::size_t>(
          static_cast<std::size_t>(count.Int(0)) * 2 + depot_count_, Plan::kMaxGroups + 2);
      group_keys_.reserve(most);
      group_totals_.Reserve(most);
    }
    SqliteStmt stmt = Scan(Plan::kMoves, names);
    std::vector<Raw> row(names.size());
    std::size_t rows = 0;
    while (stmt.Step()) {
      if (++rows % kCancelCheckRows == 0 && cancelled()) return Plan::Outcome::kCancelled;
      arena_mark_ = arena_.size();
      for (std::size_t c = 0; c < names.size(); ++c) row[c] = Read(stmt.Get(), static_cast<int>(c));
      const Raw& item_raw = row[item_column];
      if (item_raw.storage != Storage::kText && item_raw.storage != Storage::kNull) {
        return Plan::Outcome::kNotExact;
      }
      const std::uint32_t item =
          item_raw.storage == Storage::kText ? ItemOf(TextOf(item_raw)) : kNone;
      // The outer join: one group per depot the row names through either link.
      std::uint32_t depots[2] = {kNone, kNone};
      for (int link = 0; link < 2; ++link) {
        const Raw& raw = row[links[link]];
        if (raw.storage == Storage::kNull) continue;
        if (raw.storage != Storage::kText) return Plan::Outcome::kNotExact;
        depots[link] = DepotOf(TextOf(raw));
        if (depots[link] != kNone && (link == 0 || depots[1] != depots[0])) {
          GroupOf(depots[link], item);
        }
      }
      if (group_keys_.size() > Plan::kMaxGroups) return Plan::Outcome::kNotExact;
      // The subqueries' totals, for the keys this row has.
      for (std::size_t t = 0; t < plan_.totals_.size(); ++t) {
        const Plan::Total& total = plan_.totals_[t];
        const TotalColumns& columns = total_columns[t];
        bool counts = true;
        for (int column : columns.not_null)
          counts = counts && row[column].storage != Storage::kNull;
        if (!counts) continue;
        Totals* totals = &global_totals_;
        std::size_t at = 0;
        if (total.by_depot) {
          const Raw& raw = row[columns.depot];
          if (raw.storage == Storage::kNull) continue;
          if (raw.storage != Storage::kText) return Plan::Outcome::kNotExact;
          const std::uint32_t depot = columns.depot == links[0]   ? depots[0]
                                      : columns.depot == links[1] ? depots[1]
                                                                  : DepotOf(TextOf(raw));
          if (depot == kNone) continue;  // no group asks for it
          if (total.by_item) {
            if (item == kNone) continue;
            totals = &group_totals_;
            at = GroupOf(depot, item);
          } else {
            totals = &depot_totals_;
            at = depot;
          }
        }
        if (columns.value < 0) {
          totals->Count(t, at);  // COUNT(*)
        } else if (!totals->Add(t, at, row[columns.value])) {
          return Plan::Outcome::kNotExact;
        }
      }
      arena_.resize(arena_mark_);  // the row's texts are copied where they are kept
    }
    return Plan::Outcome::kDone;
  }

  // The value of a subquery for a group, as SQLite's aggregate gives it.
  Number TotalValue(std::size_t t, std::uint32_t group) const {
    const Plan::Total& total = plan_.totals_[t];
    const std::uint64_t key = group_keys_[group];
    const auto depot = static_cast<std::uint32_t>(key >> 32);
    const auto item = static_cast<std::uint32_t>(key);
    if (total.by_item) {
      return group_totals_.Value(t,
                                 item == kNone ? std::nullopt : std::optional<std::size_t>(group));
    }
    if (total.by_depot) return depot_totals_.Value(t, depot);
    return global_totals_.Value(t, 0);
  }

  // IFNULL, + and - as SQLite computes them.
  Number Evaluate(int index, std::uint32_t group) const {
    const Plan::Expr& expr = plan_.exprs_[index];
    Number out;
    switch (expr.kind) {
      case Plan::Expr::Kind::kNumber:
        out.storage = expr.integer ? Storage::kInteger : Storage::kFloat;
        out.integer = expr.int_value;
        out.real = expr.real_value;
        return out;
      case Plan::Expr::Kind::kTotal:
        return TotalValue(static_cast<std::size_t>(expr.total), group);
      case Plan::Expr::Kind::kIsNull: {
        Number value = Evaluate(expr.left, group);
        return value.storage == Storage::kNull ? Evaluate(expr.right, group) : value;
      }
      case Plan::Expr::Kind::kAdd:
      case Plan::Expr::Kind::kSubtract: {
        const Number left = Evaluate(expr.left, group);
        const Number right = Evaluate(expr.right, group);
        if (left.storage == Storage::kNull || right.storage == Storage::kNull) return out;
        const bool add = expr.kind == Plan::Expr::Kind::kAdd;
        if (left.storage == Storage::kInteger && right.storage == Storage::kInteger) {
          std::int64_t result = 0;
          const bool overflowed =
              add ? __builtin_add_overflow(left.integer, right.integer, &result)
                  : __builtin_sub_overflow(left.integer, right.integer, &result);
          if (!overflowed) {
            out.storage = Storage::kInteger;
            out.integer = result;
            return out;
          }
        }
        out.storage = Storage::kFloat;
        out.real = add ? left.AsReal() + right.AsReal() : left.AsReal() - right.AsReal();
        return out;
      }
    }
    return out;
  }

  // SQLite's order of two stored values of a column: NULL, numbers, text (by the column's
  // collation: Turkish for text columns), blobs.
  int CompareRaw(const Raw& a, const Raw& b) const {
    auto rank = [](Storage storage) {
      switch (storage) {
        case Storage::kNull:
          return 0;
        case Storage::kInteger:
        case Storage::kFloat:
          return 1;
        case Storage::kText:
          return 2;
        case Storage::kBlob:
          return 3;
      }
      return 0;
    };
    if (rank(a.storage) != rank(b.storage)) return rank(a.storage) < rank(b.storage) ? -1 : 1;
    if (a.storage == Storage::kInteger && b.storage == Storage::kInteger) {
      return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
    }
    if (rank(a.storage) == 1) {
      const double x = a.storage == Storage::kInteger ? static_cast<double>(a.integer) : a.real;
      const double y = b.storage == Storage::kInteger ? static_cast<double>(b.integer) : b.real;
      return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a.storage == Storage::kText) return CompareTurkishCi(TextOf(a), TextOf(b));
    return TextOf(a).compare(TextOf(b));
  }

  Plan::Outcome Emit(const std::vector<ResultColumn>& columns,
                     const std::function<bool()>& cancelled,
                     const std::function<void(const Row&)>& emit) {
    // Depots in the order of their GROUP BY terms.
    std::vector<std::uint32_t> depots(depot_count_);
    for (std::uint32_t d = 0; d < depots.size(); ++d) depots[d] = d;
    std::vector<int> depot_terms;
    for (const Plan::ColumnRef& ref : plan_.group_by_) {
      if (ref.table == Plan::kDepots) depot_terms.push_back(IndexOf(depot_columns_, ref.column));
    }
    std::stable_sort(depots.begin(), depots.end(), [&](std::uint32_t a, std::uint32_t b) {
      for (int term : depot_terms) {
        const int c = CompareRaw(DepotValue(a, term), DepotValue(b, term));
        if (c != 0) return c < 0;
      }
      return false;
    });
    std::vector<std::uint32_t> depot_rank(depots.size());
    for (std::uint32_t r = 0; r < depots.size(); ++r) depot_rank[depots[r]] = r;
    // Items in the collation's order: their folded keys compare as the texts do.
    std::vector<std::uint32_t> items(item_keys_.size());
    for (std::uint32_t i = 0; i < items.size(); ++i) items[i] = i;
    std::sort(items.begin(), items.end(),
              [&](std::uint32_t a, std::uint32_t b) { return item_keys_[a] < item_keys_[b]; });
    std::vector<std::uint32_t> item_rank(items.size());
    for (std::uint32_t r = 0; r < items.size(); ++r) item_rank[items[r]] = r;
    std::vector<std::uint32_t> card_of_item(item_keys_.size(), kNone);
    for (std::uint32_t i = 0; i < item_keys_.size(); ++i) {
      auto it = card_by_key_.find(item_keys_[i]);
      if (it != card_by_key_.end()) card_of_item[i] = static_cast<std::uint32_t>(it->second);
    }

    std::vector<std::uint32_t> order(group_keys_.size());
    for (std::uint32_t g = 0; g < order.size(); ++g) order[g] = g;
    auto sort_key = [&](std::uint32_t group) {
      const std::uint64_t key = group_keys_[group];
      const auto item = static_cast<std::uint32_t>(key);
      // A group without an item (NULL) comes first among its depot's.
      return static_cast<std::uint64_t>(depot_rank[key >> 32]) << 32 |
             (item == kNone ? 0 : std::uint64_t{item_rank[item]} + 1);
    };
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return sort_key(a) < sort_key(b); });

    // SQLite fails a sum() whose integers overflow: found before the first row goes out.
    for (std::size_t t = 0; t < plan_.totals_.size(); ++t) {
      for (const Totals* totals : {&group_totals_, &depot_totals_, &global_totals_}) {
        if (totals->Overflowed(t)) return Plan::Outcome::kNotExact;
      }
    }
    for (std::size_t c : text_columns_) {
      const Plan::ColumnRef& ref = *plan_.items_[c].column;
      if (!TextStorageOnly(ref)) return Plan::Outcome::kNotExact;
    }
    // Where each plain column's value is read from.
    std::vector<int> source_column(columns.size(), -1);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const auto& ref = plan_.items_[c].column;
      if (!ref || ref->table == Plan::kMoves) continue;
      source_column[c] =
          IndexOf(ref->table == Plan::kDepots ? depot_columns_ : card_columns_, ref->column);
    }

    Row out(columns.size());
    std::size_t rows = 0;
    for (std::uint32_t group : order) {
      if (++rows % kCancelCheckRows == 0 && cancelled()) return Plan::Outcome::kCancelled;
      const std::uint64_t key = group_keys_[group];
      const auto depot = static_cast<std::uint32_t>(key >> 32);
      const auto item = static_cast<std::uint32_t>(key);
      const std::uint32_t card = item == kNone ? kNone : card_of_item[item];
      for (std::size_t c = 0; c < columns.size(); ++c) {
        const Plan::Item& plan_item = plan_.items_[c];
        if (!plan_item.column) {
          out[c] = StoredValue(NumberSource{Evaluate(plan_item.expr, group)}, columns[c].type);
          continue;
        }
        const Plan::ColumnRef& ref = *plan_item.column;
        if (ref.table == Plan::kMoves) {
          if (item == kNone) {
            out[c] = std::monostate{};
          } else {
            out[c] = StoredValue(TextSource{item_texts_[item]}, columns[c].type);
          }
        } else if (ref.table == Plan::kDepots) {
          out[c] =
              StoredValue(RawSource{DepotValue(depot, source_column[c]), arena_}, columns[c].type);
        } else if (card == kNone) {
          out[c] = std::monostate{};
        } else {
          out[c] =
              StoredValue(RawSource{CardValue(card, source_column[c]), arena_}, columns[c].type);
        }
      }
      emit(out);
    }
    return Plan::Outcome::kDone;
  }

  // True when the column holds only text and NULLs: a number would need SQLite's own text
  // for it.
  bool TextStorageOnly(const Plan::ColumnRef& ref) const {
    if (ref.table == Plan::kMoves) return true;  // the item: text or NULL, checked when read
    const bool depots = ref.table == Plan::kDepots;
    const int column = IndexOf(depots ? depot_columns_ : card_columns_, ref.column);
    const std::size_t count = depots ? depot_count_ : card_count_;
    for (std::size_t row = 0; row < count; ++row) {
      const Storage storage = (depots ? DepotValue(row, column) : CardValue(row, column)).storage;
      if (storage != Storage::kText && storage != Storage::kNull) return false;
    }
    return true;
  }

  struct TextSource {
    const std::string& text;
    Storage Type() const { return Storage::kText; }
    std::int64_t Int() const { return 0; }
    double Double() const { return 0; }
    std::string_view Text() const { return text; }
    std::string_view Bytes() const { return text; }
  };

  const Plan& plan_;
  DatabaseFile& file_;
  std::string arena_;
  std::size_t arena_mark_ = 0;
  std::vector<std::size_t> text_columns_;

  std::vector<std::string> depot_columns_;
  std::vector<Raw> depot_values_;  // row by row, depot_columns_ each
  std::size_t depot_count_ = 0;
  TextMap<std::size_t> depot_by_key_;
  TextMap<std::uint32_t> depot_of_text_;
  std::vector<bool> depot_has_group_;

  std::vector<std::string> card_columns_;
  std::vector<Raw> card_values_;  // row by row, card_columns_ each
  std::size_t card_count_ = 0;
  TextMap<std::size_t> card_by_key_;

  TextMap<std::uint32_t> item_of_text_;
  TextMap<std::uint32_t> item_by_key_;
  std::vector<std::string> item_keys_;
  std::vector<std::string> item_texts_;

  std::vector<std::uint64_t> group_keys_;  // depot << 32 | item (kNone: no item)
  GroupIndex group_index_;
  std::vector<bool> integer_totals_ = IntegerTotals(plan_, file_);
  Totals group_totals_{plan_.totals_, integer_totals_};   // per group
  Totals depot_totals_{plan_.totals_, integer_totals_};   // per depot
  Totals global_totals_{plan_.totals_, integer_totals_};  // one row
};

GroupedJoinPlan::Outcome GroupedJoinPlan::Run(DatabaseFile& file,
                                              const std::vector<ResultColumn>& columns,
                                              const std::function<bool()>& cancelled,
                                              const std::function<void(const Row&)>& emit) const {
  if (columns.size() != items_.size()) return Outcome::kNotExact;
  // The totals follow SQLite's own sum() of these versions; newer ones add differently.
  const int version = sqlite3_libversion_number();
  if (version < 3039000 || version >= 3043000) return Outcome::kNotExact;
  return GroupedJoinRun(*this, file).Run(columns, cancelled, emit);
}

}  // namespace sandbox
