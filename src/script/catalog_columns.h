#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "script/row_source.h"

namespace devir::script {

/// A column of a source table as the server's catalogue describes it, whatever type name a
/// driver reports for it.
struct CatalogColumn {
  std::string name;
  std::string type_name;  ///< the system type's name in sys.types: "nvarchar", "timestamp"
  bool identity = false;
};

/// The catalogue query for table's columns (sys.columns joined to sys.types by the system
/// type), in the table's column order.
std::string CatalogColumnsSql(std::string_view table);

/// The columns of table in the database rows reads. Throws what the source throws.
std::vector<CatalogColumn> ReadCatalogColumns(RowSource& rows, std::string_view table);

/// True for a rowversion (timestamp) column: the server fills it and refuses any value.
bool IsRowVersion(const CatalogColumn& column);

/// The names of table's rowversion columns, by the catalogue.
std::vector<std::string> RowVersionColumns(RowSource& rows, std::string_view table);

}  // namespace devir::script
