#include "script/catalog_columns.h"

#include "script/text_literal.h"

namespace devir::script {

std::string CatalogColumnsSql(std::string_view table) {
  // Joined by the system type, so that an alias type counts as the type it is made of.
  return "SELECT c.name AS NAME, t.name AS TYPE_NAME, c.is_identity AS IS_IDENTITY "
         "FROM sys.columns c JOIN sys.types t ON t.user_type_id = c.system_type_id "
         "WHERE c.object_id = OBJECT_ID(" +
         TextLiteral(table, true) + ") ORDER BY c.column_id";
}

std::vector<CatalogColumn> ReadCatalogColumns(RowSource& rows, std::string_view table) {
  rows.Open(CatalogColumnsSql(table));
  ClosedOnExit close(rows);
  std::vector<CatalogColumn> columns;
  for (; !rows.Eof(); rows.Next()) {
    columns.push_back({rows.FieldByName("NAME").AsText(), rows.FieldByName("TYPE_NAME").AsText(),
                       rows.FieldByName("IS_IDENTITY").AsFloat() != 0});
  }
  return columns;
}

bool IsRowVersion(const CatalogColumn& column) {
  // sys.types names the type "timestamp"; "rowversion" is its synonym in DDL only.
  return column.type_name == "timestamp";
}

std::vector<std::string> RowVersionColumns(RowSource& rows, std::string_view table) {
  std::vector<std::string> names;
  for (const CatalogColumn& column : ReadCatalogColumns(rows, table)) {
    if (IsRowVersion(column)) names.push_back(column.name);
  }
  return names;
}

}  // namespace devir::script
