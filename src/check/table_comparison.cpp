// A copied table, row for row: both sides in key order, one row of each in memory.
#include <string>
#include <vector>

#include "check/proof.h"
#include "check/table_keys.h"
#include "check/value_text.h"
#include "db/ascii_case.h"
#include "script/catalog_columns.h"

namespace devir::check {
namespace {

constexpr char kNone[] = "(none)";
constexpr char kPresent[] = "(present)";
constexpr char kWholeRow[] = "(row)";

// A source column and where the target has it (-1: nowhere).
struct ColumnPair {
  int source = 0;
  int target = -1;
  std::string name;
};

int FieldIndex(const script::RowSource& rows, const std::string& name) {
  for (int i = 0; i < rows.FieldCount(); ++i) {
    if (db::EqualsIgnoringAsciiCase(rows.FieldAt(i).Name(), name)) return i;
  }
  return -1;
}

}  // namespace

void CompareCopiedTable(script::RowSource& source, script::RowSource& target,
                        std::string_view table, ProofReport& report) {
  // The target fills identity and rowversion columns itself.
  std::vector<std::string> own_values;
  for (const script::CatalogColumn& column : script::ReadCatalogColumns(source, table)) {
    if (column.identity || script::IsRowVersion(column)) own_values.push_back(column.name);
  }
  const std::string key_column(KeyColumn(table));
  const std::string sql =
      "SELECT * FROM " + std::string(table) + " ORDER BY " + ByCodePoint(key_column);
  source.Open(sql);
  script::ClosedOnExit close_source(source);
  target.Open(sql);
  script::ClosedOnExit close_target(target);

  ProofLine line;
  line.check = std::string(table);
  const int source_key = FieldIndex(source, key_column);
  const int target_key = FieldIndex(target, key_column);
  std::vector<ColumnPair> pairs;
  for (int i = 0; i < source.FieldCount(); ++i) {
    const std::string& name = source.FieldAt(i).Name();
    bool own = false;
    for (const std::string& column : own_values)
      own = own || db::EqualsIgnoringAsciiCase(column, name);
    if (!own) pairs.push_back({i, FieldIndex(target, name), name});
  }
  const auto key_text = [&](const std::string& key) { return key_column + " " + key; };
  const auto difference = [&](const std::string& key, const std::string& column, std::string from,
                              std::string to) {
    report.AddDifference(
        {std::string(table), key_text(key), column, std::move(from), std::move(to)});
  };

  while (!source.Eof() || !target.Eof()) {
    const std::string from = source.Eof() ? std::string() : source.FieldAt(source_key).AsText();
    const std::string to = target.Eof() ? std::string() : target.FieldAt(target_key).AsText();
    const int order = source.Eof() ? 1 : target.Eof() ? -1 : CompareKeys(from, to);
    if (order < 0) {
      ++line.source_rows;
      ++line.different;
      difference(from, kWholeRow, kPresent, kNone);
      source.Next();
      continue;
    }
    if (order > 0) {
      ++line.target_rows;
      ++line.different;
      difference(to, kWholeRow, kNone, kPresent);
      target.Next();
      continue;
    }
    ++line.source_rows;
    ++line.target_rows;
    bool same = true;
    for (const ColumnPair& pair : pairs) {
      const db::FieldValue& value = source.FieldAt(pair.source).Value();
      if (pair.target < 0) {
        same = false;
        difference(from, pair.name, ValueText(value), "(no such column)");
        continue;
      }
      const db::FieldValue& carried = target.FieldAt(pair.target).Value();
      if (carried == value) continue;
      same = false;
      difference(from, pair.name, ValueText(value), ValueText(carried));
    }
    ++(same ? line.equal : line.different);
    source.Next();
    target.Next();
  }
  report.lines.push_back(std::move(line));
}

}  // namespace devir::check
