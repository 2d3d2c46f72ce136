#include "script/table_copy_script.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "db/ascii_case.h"
#include "db/type_name.h"
#include "script/field_to_sql.h"

namespace devir::script {

namespace {

bool IsIdColumn(const std::string& column) {
  return column == "ID" || column == "HID";
}

// A rowversion column takes no value at all: "DEFAULT" is refused by some engines.
bool IsRowVersion(const db::Field& field, const std::vector<std::string>& row_versions) {
  const std::string type = db::BaseTypeName(field.Type().type_name);
  if (type == "timestamp" || type == "rowversion") return true;
  return std::any_of(row_versions.begin(), row_versions.end(), [&](const std::string& name) {
    return db::EqualsIgnoringAsciiCase(name, field.Name());
  });
}

// A column name as it stands when it is a regular identifier (every name of the year
// databases); otherwise in brackets, so that a blank, comma or parenthesis in a name cannot
// change the statement.
std::string ColumnName(const std::string& name) {
  bool regular =
      !name.empty() && !(name.front() >= '0' && name.front() <= '9') && name.front() != '$';
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (!(byte >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
          (c >= '0' && c <= '9') || c == '_' || c == '@' || c == '#' || c == '$')) {
      regular = false;
    }
  }
  if (regular) return name;
  std::string out = "[";
  for (char c : name) {
    if (c == ']') out += ']';
    out += c;
  }
  out += ']';
  return out;
}

}  // namespace

std::size_t TableCopyScript(RowSource& rows, std::string_view table, StatementSink& script,
                            const std::vector<std::string>& row_versions) {
  rows.Open("SELECT * FROM " + std::string(table));
  ClosedOnExit close(rows);
  if (rows.Eof()) return 0;

  const int count = rows.FieldCount();
  std::vector<bool> left_out(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const db::Field& field = rows.FieldAt(i);
    left_out[static_cast<std::size_t>(i)] =
        IsIdColumn(field.Name()) || IsRowVersion(field, row_versions);
  }

  // The columns are the same on every row: "INSERT INTO T(A,B) VALUES(" is built once. A
  // trailing character is cut after each list, as the copied statements always had it.
  std::string head = "INSERT INTO " + std::string(table) + "(";
  std::vector<int> copied;  // the columns' positions, without ID, HID and row versions
  for (int i = 0; i < count; ++i) {
    if (left_out[static_cast<std::size_t>(i)]) continue;
    copied.push_back(i);
    head += ColumnName(rows.FieldAt(i).Name());
    head += ',';
  }
  head.pop_back();
  head += ") VALUES(";

  std::size_t read = 0;
  std::size_t longest = head.size();
  while (!rows.Eof()) {
    std::string statement;
    // One allocation for most rows; a huge value once does not make every row's that big.
    statement.reserve(std::min<std::size_t>(longest, 1u << 16) + 64);
    statement = head;
    for (int i : copied) {
      AppendFieldSql(statement, rows.FieldAt(i));
      statement += ',';
    }
    statement.pop_back();
    statement += ')';
    longest = std::max(longest, statement.size());
    script.Add(std::move(statement));
    ++read;
    rows.Next();
  }
  return read;
}

}  // namespace devir::script
