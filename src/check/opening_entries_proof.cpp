// The opening entries recomputed from the source's movements, independently of the balance
// query the script runs: one pass over the movements in item order, summed here per depot in
// the order of their ID (the order in which the server adds them up along its indexes), and
// merged with the target's STOKHAREKET in the same order.
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "check/proof.h"
#include "check/value_text.h"
#include "script/opening_stock_entries.h"

namespace devir::check {
namespace {

constexpr char kTable[] = "STOKHAREKET";

// What the movements of one item give one depot.
struct Balance {
  double received = 0;
  double issued = 0;
  double price_sum = 0;
  std::size_t priced = 0;

  double Quantity() const { return received - issued; }
  double Price() const { return priced == 0 ? 0 : price_sum / static_cast<double>(priced); }
};

std::optional<std::string> TextOf(const db::Field& field) {
  if (field.IsNull()) return std::nullopt;
  return field.AsText();
}

// The amount as the statement carries it: the script's text, read back as the server does.
double Amount(const Balance& balance) {
  const std::string text = script::CarryOverAmount(balance.Price(), balance.Quantity());
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Compares the target's rows of one item (NULL: the rows without an item) with the depots'
// balances, both in depot order. The target's cursor stands on the item's first row; it is
// left on the first row of the next item.
class EntryMerge {
 public:
  EntryMerge(script::RowSource& target, ProofLine& line, ProofReport& report)
      : target_(target), line_(line), report_(report) {}

  // Rows of the target before `item` have no balance of the source.
  void SkipTo(const std::string& item) {
    while (!target_.Eof()) {
      const std::optional<std::string> at = TextOf(target_.FieldByName("STOKKODU"));
      if (at && CompareKeys(*at, item) >= 0) return;
      Extra(at);
    }
  }

  void Item(const std::optional<std::string>& item,
            const std::map<std::string, Balance>& balances) {
    auto expected = balances.begin();
    while (true) {
      const bool on_item = !target_.Eof() && TextOf(target_.FieldByName("STOKKODU")) == item;
      if (!on_item && expected == balances.end()) return;
      const std::optional<std::string> depot =
          on_item ? TextOf(target_.FieldByName("GDEPO")) : std::nullopt;
      const int order = !on_item                     ? -1
                        : expected == balances.end() ? 1
                        : !depot                     ? 1
                                                     : CompareKeys(expected->first, *depot);
      if (order < 0) {
        ++line_.source_rows;
        ++line_.different;
        Difference(expected->first, item, "(row)", "(present)", "(none)");
        ++expected;
      } else if (order > 0) {
        Extra(item);
      } else {
        Compare(expected->first, item, expected->second);
        ++expected;
        target_.Next();
      }
    }
  }

  // What is left of the target after the last item.
  void Rest() {
    while (!target_.Eof()) Extra(TextOf(target_.FieldByName("STOKKODU")));
  }

 private:
  static std::string Key(const std::optional<std::string>& depot,
                         const std::optional<std::string>& item) {
    return "GDEPO " + depot.value_or("NULL") + ", STOKKODU " + item.value_or("NULL");
  }

  void Difference(const std::optional<std::string>& depot, const std::optional<std::string>& item,
                  const std::string& column, std::string from, std::string to) {
    report_.AddDifference({kTable, Key(depot, item), column, std::move(from), std::move(to)});
  }

  void Extra(const std::optional<std::string>& item) {
    ++line_.target_rows;
    ++line_.different;
    Difference(TextOf(target_.FieldByName("GDEPO")), item, "(row)", "(none)", "(present)");
    target_.Next();
  }

  void Compare(const std::string& depot, const std::optional<std::string>& item,
               const Balance& balance) {
    ++line_.source_rows;
    ++line_.target_rows;
    const std::pair<const char*, double> values[] = {
        {"ADET", balance.Quantity()}, {"FIYAT", balance.Price()}, {"TUTAR", Amount(balance)}};
    bool same = true;
    for (const auto& [column, expected] : values) {
      const db::FieldValue& carried = target_.FieldByName(column).Value();
      if (carried == db::FieldValue(expected)) continue;
      same = false;
      Difference(depot, item, column, ValueText(expected), ValueText(carried));
    }
    ++(same ? line_.equal : line_.different);
  }

  script::RowSource& target_;
  ProofLine& line_;
  ProofReport& report_;
};

}  // namespace

void CompareOpeningEntries(script::RowSource& source, script::RowSource& target,
                           ProofReport& report) {
  // The balance query carries DEPO's depots only: a handful of codes.
  std::set<std::string> depots;
  source.Open("SELECT KODU FROM DEPO");
  for (; !source.Eof(); source.Next()) depots.insert(source.FieldAt(0).AsText());
  source.Close();

  ProofLine line;
  line.check = "opening entries (STOKHAREKET)";
  std::set<std::string> moved;     // depots of DEPO that any movement names
  std::set<std::string> itemless;  // ... that a movement without an item names
  {
    source.Open("SELECT STOKKODU, GDEPO, CDEPO, ADET, FIYAT FROM STOKHAREKET ORDER BY " +
                ByCodePoint("STOKKODU") + ", ID");
    script::ClosedOnExit close_source(source);
    target.Open(
        "SELECT STOKKODU, GDEPO, ADET, FIYAT, TUTAR FROM STOKHAREKET WHERE STOKKODU IS "
        "NOT NULL ORDER BY " +
        ByCodePoint("STOKKODU") + ", " + ByCodePoint("GDEPO"));
    script::ClosedOnExit close_target(target);
    EntryMerge merge(target, line, report);

    std::optional<std::string> item;
    std::map<std::string, Balance> balances;
    const auto finish_item = [&] {
      if (!item) return;
      merge.SkipTo(*item);
      merge.Item(item, balances);
      balances.clear();
    };
    for (; !source.Eof(); source.Next()) {
      const std::optional<std::string> code = TextOf(source.FieldByName("STOKKODU"));
      if (code != item) {
        finish_item();
        item = code;
      }
      const std::optional<std::string> into = TextOf(source.FieldByName("GDEPO"));
      const std::optional<std::string> from = TextOf(source.FieldByName("CDEPO"));
      const db::Field& quantity = source.FieldByName("ADET");
      const db::Field& price = source.FieldByName("FIYAT");
      for (const auto& depot : {into, from}) {
        if (!depot || !depots.contains(*depot)) continue;
        moved.insert(*depot);
        // A movement without an item gives its depot an entry without one, at 0.
        if (!code) itemless.insert(*depot);
      }
      if (!code) continue;
      if (into && depots.contains(*into)) {
        Balance& balance = balances[*into];
        if (!quantity.IsNull()) balance.received += quantity.AsFloat();
        if (!price.IsNull()) {
          balance.price_sum += price.AsFloat();
          ++balance.priced;
        }
      }
      if (from && depots.contains(*from)) {
        Balance& balance = balances[*from];
        if (!quantity.IsNull()) balance.issued += quantity.AsFloat();
      }
    }
    finish_item();
    merge.Rest();
  }

  // A depot without any movement gets one entry without an item, at 0, as does a depot that a
  // movement without an item names.
  std::map<std::string, Balance> without_item;
  for (const std::string& depot : depots) {
    if (!moved.contains(depot) || itemless.contains(depot)) without_item[depot];
  }
  target.Open(
      "SELECT STOKKODU, GDEPO, ADET, FIYAT, TUTAR FROM STOKHAREKET WHERE STOKKODU IS NULL "
      "ORDER BY " +
      ByCodePoint("GDEPO"));
  script::ClosedOnExit close_target(target);
  EntryMerge merge(target, line, report);
  merge.Item(std::nullopt, without_item);
  merge.Rest();
  report.lines.push_back(std::move(line));
}

}  // namespace devir::check
