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

int SystemTypeId(SqlType type) {
  switch (type) {
    case SqlType::TinyInt:
      return 48;
    case SqlType::SmallInt:
      return 52;
    case SqlType::Int:
      return 56;
    case SqlType::BigInt:
      return 127;
    case SqlType::Bit:
      return 104;
    case SqlType::Real:
      return 59;
    case SqlType::Float:
      return 62;
    case SqlType::Decimal:
      return 106;
    case SqlType::Numeric:
      return 108;
    case SqlType::Money:
      return 60;
    case SqlType::SmallMoney:
      return 122;
    case SqlType::DateTime:
      return 61;
    case SqlType::SmallDateTime:
      return 58;
    case SqlType::Date:
      return 40;
    case SqlType::Time:
      return 41;
    case SqlType::DateTime2:
      return 42;
    case SqlType::DateTimeOffset:
      return 43;
    case SqlType::Char:
      return 175;
    case SqlType::VarChar:
      return 167;
    case SqlType::NChar:
      return 239;
    case SqlType::NVarChar:
      return 231;
    case SqlType::Text:
      return 35;
    case SqlType::NText:
      return 99;
    case SqlType::Xml:
      return 241;
    case SqlType::Binary:
      return 173;
    case SqlType::VarBinary:
      return 165;
    case SqlType::Image:
      return 34;
    case SqlType::Timestamp:
      return 189;
    case SqlType::UniqueIdentifier:
      return 36;
  }
  return 98;  // sql_variant
}

}  // namespace sandbox
