#include "db/odbc/bound_columns.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "db/database_error.h"
#include "db/odbc/call.h"
#include "db/utf.h"

namespace devir::db {

namespace {

// A block of rows takes at most this much memory, and at most this many rows.
constexpr std::size_t kBlockBytes = 512u << 10;
constexpr std::size_t kMostRowsPerFetch = 256;
// Decimal and money text: 38 digits, sign, point, a leading zero and the terminator fit.
constexpr std::size_t kExactTextBytes = 48;
// The ISO text of date, time, datetime2 and datetimeoffset is at most 34 characters.
constexpr std::size_t kDateTextUnits = 64;
// The longest text and binary values of a declared length.
constexpr long long kLongestDeclared = 8000;

// Characters of a text column's longest value, 0 when unknown in advance. A character of a
// declared length is at most one UTF-16 unit: nvarchar counts units, varchar and char count
// bytes, and a code page character needs a byte at least.
std::size_t TextUnits(const Field& field, ValueForm form) {
  if (form == ValueForm::DateText) return kDateTextUnits;
  const std::string& type = field.BaseType();
  if (type == "uniqueidentifier" || type == "date" || type == "time") return kDateTextUnits;
  const long long size = field.Type().size;
  const bool declared = type == "char" || type == "varchar" || type == "nchar" ||
                        type == "nvarchar" || type == "sysname";
  return declared && size > 0 && size <= kLongestDeclared ? static_cast<std::size_t>(size) : 0;
}

std::size_t BinaryBytes(const Field& field) {
  const std::string& type = field.BaseType();
  if (type == "timestamp" || type == "rowversion") return 8;
  const long long size = field.Type().size;
  const bool declared = type == "binary" || type == "varbinary";
  return declared && size > 0 && size <= kLongestDeclared ? static_cast<std::size_t>(size) : 0;
}

[[noreturn]] void ThrowTooLong(const Field& field, SQLLEN length) {
  throw DatabaseError("The driver gave " + std::to_string(length) + " bytes for field '" +
                      field.Name() + "', more than its type " + field.Type().type_name + " holds.");
}

}  // namespace

BoundColumns::BoundColumns(const std::vector<Field>& fields, const std::vector<ValueForm>& forms,
                           bool any_column)
    : columns_(fields.size()) {
  std::size_t row_bytes = 0;
  bool all_bound = true;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    Column& column = columns_[i];
    column.form = forms[i];
    switch (column.form) {
      case ValueForm::Integer:
        column.c_type = SQL_C_SBIGINT;
        column.width = sizeof(SQLBIGINT);
        break;
      case ValueForm::Double:
        column.c_type = SQL_C_DOUBLE;
        column.width = sizeof(SQLDOUBLE);
        break;
      case ValueForm::Timestamp:
        column.c_type = SQL_C_TYPE_TIMESTAMP;
        column.width = sizeof(SQL_TIMESTAMP_STRUCT);
        break;
      case ValueForm::ExactText:
        column.c_type = SQL_C_CHAR;
        column.width = kExactTextBytes;
        break;
      case ValueForm::Binary:
        if (const std::size_t bytes = BinaryBytes(fields[i]); bytes > 0) {
          column.c_type = SQL_C_BINARY;
          column.width = bytes;
        }
        break;
      case ValueForm::Text:
      case ValueForm::DateText:
        if (const std::size_t units = TextUnits(fields[i], column.form); units > 0) {
          column.c_type = SQL_C_WCHAR;
          column.width = (units + 1) * sizeof(SQLWCHAR);  // and the terminator
        }
        break;
    }
    if (column.c_type == 0) {
      all_bound = false;
      // SQLGetData then reads only the columns after the last bound one.
      if (!any_column) break;
    }
    row_bytes += column.width + sizeof(SQLLEN);
  }
  // Each value read with SQLGetData needs its row to be the block's only one.
  rows_ = all_bound ? std::clamp<std::size_t>(kBlockBytes / std::max<std::size_t>(row_bytes, 1), 1,
                                              kMostRowsPerFetch)
                    : 1;
  for (Column& column : columns_) {
    if (column.c_type == 0) continue;
    column.data.resize(column.width * rows_);
    column.indicators.resize(rows_);
  }
  row_status_.resize(rows_);
}

void BoundColumns::Bind(SQLHSTMT stmt) {
  const auto check = [stmt](SQLRETURN rc, const char* function) {
    odbc::Check(rc, function, SQL_HANDLE_STMT, stmt);
  };
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    Column& column = columns_[i];
    if (column.c_type == 0) continue;
    check(SQLBindCol(stmt, static_cast<SQLUSMALLINT>(i + 1), column.c_type, column.data.data(),
                     static_cast<SQLLEN>(column.width), column.indicators.data()),
          "SQLBindCol");
  }
  check(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows_)), 0),
        "SQLSetStmtAttr");
  check(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, row_status_.data(), 0), "SQLSetStmtAttr");
  check(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0), "SQLSetStmtAttr");
}

void BoundColumns::Read(std::size_t column_index, std::size_t row, Field& field) const {
  const Column& column = columns_[column_index];
  const SQLLEN length = column.indicators[row];
  if (length == SQL_NULL_DATA) {
    field.SetValue(FieldValue{});
    return;
  }
  const char* value = column.data.data() + row * column.width;
  switch (column.form) {
    case ValueForm::Integer: {
      SQLBIGINT number = 0;
      std::memcpy(&number, value, sizeof number);
      field.SetValue(static_cast<std::int64_t>(number));
      return;
    }
    case ValueForm::Double: {
      SQLDOUBLE number = 0;
      std::memcpy(&number, value, sizeof number);
      field.SetValue(static_cast<double>(number));
      return;
    }
    case ValueForm::Timestamp: {
      SQL_TIMESTAMP_STRUCT t{};
      std::memcpy(&t, value, sizeof t);
      field.SetValue(DateTime{t.year, t.month, t.day, t.hour, t.minute, t.second,
                              static_cast<std::uint32_t>(t.fraction)});
      return;
    }
    case ValueForm::ExactText:
      if (length < 0 || static_cast<std::size_t>(length) >= column.width) {
        ThrowTooLong(field, length);
      }
      field.ResetText().assign(value, static_cast<std::size_t>(length));
      return;
    case ValueForm::Binary:
      if (length < 0 || static_cast<std::size_t>(length) > column.width) {
        ThrowTooLong(field, length);
      }
      field.SetValue(Bytes{std::string(value, static_cast<std::size_t>(length))});
      return;
    case ValueForm::Text:
    case ValueForm::DateText:
      break;
  }
  if (length < 0 || static_cast<std::size_t>(length) > column.width - sizeof(SQLWCHAR) ||
      length % sizeof(SQLWCHAR) != 0) {
    ThrowTooLong(field, length);
  }
  // The buffer of a column is aligned for SQLWCHAR: every width is a multiple of it.
  const std::u16string_view units(reinterpret_cast<const char16_t*>(value),
                                  static_cast<std::size_t>(length) / sizeof(SQLWCHAR));
  if (column.form == ValueForm::DateText) {
    field.SetValue(WithFourDigitYear(Utf16ToUtf8(units)));
    return;
  }
  AppendUtf16AsUtf8(field.ResetText(), units);
}

}  // namespace devir::db
