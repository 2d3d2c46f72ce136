#include "sandbox/engine/sql_types.h"

namespace sandbox {

const char* TypeName(SqlType type) {
  switch (type) {
    case SqlType::TinyInt:
      return "tinyint";
    case SqlType::SmallInt:
      return "smallint";
    case SqlType::Int:
      return "int";
    case SqlType::BigInt:
      return "bigint";
    case SqlType::Bit:
      return "bit";
    case SqlType::Real:
      return "real";
    case SqlType::Float:
      return "float";
    case SqlType::Decimal:
      return "decimal";
    case SqlType::Numeric:
      return "numeric";
    case SqlType::Money:
      return "money";
    case SqlType::SmallMoney:
      return "smallmoney";
    case SqlType::DateTime:
      return "datetime";
    case SqlType::SmallDateTime:
      return "smalldatetime";
    case SqlType::Date:
      return "date";
    case SqlType::Time:
      return "time";
    case SqlType::DateTime2:
      return "datetime2";
    case SqlType::DateTimeOffset:
      return "datetimeoffset";
    case SqlType::Char:
      return "char";
    case SqlType::VarChar:
      return "varchar";
    case SqlType::NChar:
      return "nchar";
    case SqlType::NVarChar:
      return "nvarchar";
    case SqlType::Text:
      return "text";
    case SqlType::NText:
      return "ntext";
    case SqlType::Xml:
      return "xml";
    case SqlType::Binary:
      return "binary";
    case SqlType::VarBinary:
      return "varbinary";
    case SqlType::Image:
      return "image";
    case SqlType::Timestamp:
      return "timestamp";
    case SqlType::UniqueIdentifier:
      return "uniqueidentifier";
  }
  return "sql_variant";
}

}  // namespace sandbox
