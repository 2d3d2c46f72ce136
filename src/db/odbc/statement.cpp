#include "db/odbc/statement.h"

#include <cstring>

#include "db/ascii_case.h"
#include "db/odbc/bound_columns.h"
#include "db/odbc/connection.h"
#include "db/type_name.h"
#include "db/utf.h"

namespace devir::db {

namespace {

constexpr std::size_t kChunkBytes = 8192;

std::string FromWide(const SQLWCHAR* text, std::size_t length) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

// True when the driver's SQLGetData reads any unbound column, also one before a bound one.
bool GetDataReadsAnyColumn(SQLHDBC dbc) {
  SQLUINTEGER extensions = 0;
  const SQLRETURN rc =
      odbc::Traced(SQLGetInfo(dbc, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr),
                   "SQLGetInfo");
  return SQL_SUCCEEDED(rc) && (extensions & SQL_GD_ANY_COLUMN) != 0;
}

}  // namespace

ValueForm FormOf(const ColumnType& type) {
  const std::string name = BaseTypeName(type.type_name);
  if (name == "bit" || name == "tinyint" || name == "smallint" || name == "int" ||
      name == "bigint") {
    return ValueForm::Integer;
  }
  if (name == "float" || name == "real") return ValueForm::Double;
  // Exact digits as text: a double would lose the last places of decimal(38,x) and money.
  if (name == "decimal" || name == "numeric" || name == "money" || name == "smallmoney") {
    return ValueForm::ExactText;
  }
  if (name == "datetime" || name == "smalldatetime") return ValueForm::Timestamp;
  if (name == "date" || name == "datetime2" || name == "datetimeoffset") return ValueForm::DateText;
  if (name == "binary" || name == "varbinary" || name == "image" || name == "timestamp" ||
      name == "rowversion") {
    return ValueForm::Binary;
  }
  if (!name.empty()) return ValueForm::Text;
  switch (type.odbc_type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return ValueForm::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return ValueForm::Double;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return ValueForm::ExactText;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return ValueForm::Binary;
    default:
      return ValueForm::Text;
  }
}

OdbcStatement::OdbcStatement(OdbcConnection& connection)
    : connection_(&connection), stmt_(connection.AllocateStatement()) {
  connection_->Register(this);
}

OdbcStatement::~OdbcStatement() {
  if (connection_ != nullptr) connection_->Unregister(this);
  Release();  // the handle goes before the buffers bound to it
}

void OdbcStatement::Release() noexcept {
  // Cancelling first stops the server sending rows nobody will read.
  if (pending_ && stmt_) odbc::Traced(SQLCancel(stmt_.Get()), "SQLCancel");
  pending_ = false;
  stmt_.Reset();
  connection_ = nullptr;
}

SQLHSTMT OdbcStatement::Handle() const {
  if (!stmt_) throw DatabaseError("The connection to the server has been closed.");
  return stmt_.Get();
}

SQLRETURN OdbcStatement::Check(SQLRETURN rc, const char* function) const {
  try {
    return odbc::Check(rc, function, SQL_HANDLE_STMT, stmt_.Get());
  } catch (const DatabaseError& error) {
    if (connection_ != nullptr) throw connection_->Explained(error);
    throw;
  }
}

void OdbcStatement::ExecuteAll(const std::string& sql) {
  std::u16string text = Utf8ToUtf16(sql);
  const SQLHSTMT stmt = Handle();
  pending_ = true;
  Check(SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()),
                       static_cast<SQLINTEGER>(text.size())),
        "SQLExecDirectW");
  // SQL_NO_DATA from SQLExecDirectW only says the first statement touched no rows.
  while (Check(SQLMoreResults(stmt), "SQLMoreResults") != SQL_NO_DATA) {
  }
  pending_ = false;
}

std::vector<Field> OdbcStatement::OpenFirstResultSet(const std::string& sql) {
  std::u16string text = Utf8ToUtf16(sql);
  const SQLHSTMT stmt = Handle();
  pending_ = true;
  Check(SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()),
                       static_cast<SQLINTEGER>(text.size())),
        "SQLExecDirectW");
  // A batch may begin with statements that only report row counts.
  while (true) {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(stmt, &count), "SQLNumResultCols");
    if (count > 0) {
      std::vector<Field> fields = DescribeColumns(count);
      bound_ = std::make_unique<BoundColumns>(fields, forms_,
                                              GetDataReadsAnyColumn(connection_->Handle()));
      try {
        bound_->Bind(stmt);
      } catch (const DatabaseError& error) {
        if (connection_ != nullptr) throw connection_->Explained(error);
        throw;
      }
      next_row_ = 0;
      return fields;
    }
    if (Check(SQLMoreResults(stmt), "SQLMoreResults") == SQL_NO_DATA) break;
  }
  pending_ = false;
  throw DatabaseError("The SQL text returned no result set.");
}

std::vector<Field> OdbcStatement::DescribeColumns(SQLSMALLINT count) {
  const SQLHSTMT stmt = Handle();
  std::vector<Field> fields;
  forms_.clear();
  fields.reserve(static_cast<std::size_t>(count));
  std::vector<SQLWCHAR> name(256);
  for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
    SQLSMALLINT name_length = 0;
    SQLSMALLINT data_type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
    auto describe = [&] {
      return Check(SQLDescribeColW(stmt, column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                   &name_length, &data_type, &size, &digits, &nullable),
                   "SQLDescribeColW");
    };
    describe();
    if (static_cast<std::size_t>(name_length) >= name.size()) {
      name.resize(static_cast<std::size_t>(name_length) + 1);
      describe();
    }

    SQLWCHAR type_name[128] = {};
    SQLSMALLINT type_name_bytes = 0;
    Check(SQLColAttributeW(stmt, column, SQL_DESC_TYPE_NAME, type_name,
                           static_cast<SQLSMALLINT>(sizeof type_name), &type_name_bytes, nullptr),
          "SQLColAttributeW");
    SQLLEN precision = 0;
    Check(SQLColAttributeW(stmt, column, SQL_DESC_PRECISION, nullptr, 0, nullptr, &precision),
          "SQLColAttributeW");

    ColumnType type;
    const auto type_name_length = std::min<std::size_t>(
        static_cast<std::size_t>(type_name_bytes) / sizeof(SQLWCHAR), std::size(type_name) - 1);
    type.type_name = AsciiLower(FromWide(type_name, type_name_length));
    type.odbc_type = data_type;
    type.size = static_cast<long long>(size);
    type.precision = static_cast<int>(precision);
    type.scale = digits;
    type.nullable = nullable != SQL_NO_NULLS;
    forms_.push_back(FormOf(type));
    fields.emplace_back(
        FromWide(name.data(),
                 std::min<std::size_t>(static_cast<std::size_t>(name_length), name.size() - 1)),
        std::move(type), FieldValue{});
  }
  return fields;
}

bool OdbcStatement::FetchRow(std::vector<Field>& fields) {
  const SQLHSTMT stmt = Handle();
  if (!pending_ || !bound_) return false;
  if (next_row_ >= bound_->Fetched()) {
    if (Check(SQLFetch(stmt), "SQLFetch") == SQL_NO_DATA) {
      // The rest of the batch is read to its end: an error the server sends after the last
      // row (a statement that failed half-way) must not pass for a complete result. Later
      // result sets are skipped; closing the cursor frees the connection for other work.
      while (Check(SQLMoreResults(stmt), "SQLMoreResults") != SQL_NO_DATA) {
      }
      pending_ = false;
      Check(SQLFreeStmt(stmt, SQL_CLOSE), "SQLFreeStmt");
      for (Field& field : fields) field.SetValue(FieldValue{});
      return false;
    }
    next_row_ = 0;
  }
  const std::size_t row = next_row_++;
  if (bound_->RowFailed(row)) {
    DatabaseError error = odbc::DiagnosticsError(SQL_HANDLE_STMT, stmt, "SQLFetch");
    if (connection_ != nullptr) throw connection_->Explained(error);
    throw error;
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (bound_->IsBound(i)) {
      bound_->Read(i, row, fields[i]);
    } else {
      fields[i].SetValue(ReadValue(static_cast<SQLUSMALLINT>(i + 1), forms_[i]));
    }
  }
  return true;
}

bool OdbcStatement::ReadChunks(SQLUSMALLINT column, SQLSMALLINT c_type,
                               std::size_t terminator_bytes, std::string& out) {
  const SQLHSTMT stmt = Handle();
  out.clear();
  buffer_.resize(kChunkBytes);
  const std::size_t capacity = buffer_.size() - terminator_bytes;
  while (true) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = Check(SQLGetData(stmt, column, c_type, buffer_.data(),
                                          static_cast<SQLLEN>(buffer_.size()), &indicator),
                               "SQLGetData");
    if (rc == SQL_NO_DATA) break;  // the previous chunk was the last
    if (indicator == SQL_NULL_DATA) return false;
    const bool truncated =
        indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > capacity;
    out.append(buffer_.data(), truncated ? capacity : static_cast<std::size_t>(indicator));
    if (!truncated) break;
  }
  return true;
}

FieldValue OdbcStatement::ReadValue(SQLUSMALLINT column, ValueForm form) {
  const SQLHSTMT stmt = Handle();
  SQLLEN indicator = 0;
  switch (form) {
    case ValueForm::Integer: {
      SQLBIGINT value = 0;
      Check(SQLGetData(stmt, column, SQL_C_SBIGINT, &value, sizeof value, &indicator),
            "SQLGetData");
      if (indicator == SQL_NULL_DATA) return {};
      return static_cast<std::int64_t>(value);
    }
    case ValueForm::Double: {
      SQLDOUBLE value = 0;
      Check(SQLGetData(stmt, column, SQL_C_DOUBLE, &value, sizeof value, &indicator), "SQLGetData");
      if (indicator == SQL_NULL_DATA) return {};
      return static_cast<double>(value);
    }
    case ValueForm::Timestamp: {
      SQL_TIMESTAMP_STRUCT value{};
      Check(SQLGetData(stmt, column, SQL_C_TYPE_TIMESTAMP, &value, sizeof value, &indicator),
            "SQLGetData");
      if (indicator == SQL_NULL_DATA) return {};
      return DateTime{value.year,
                      value.month,
                      value.day,
                      value.hour,
                      value.minute,
                      value.second,
                      static_cast<std::uint32_t>(value.fraction)};
    }
    case ValueForm::ExactText: {
      std::string text;
      if (!ReadChunks(column, SQL_C_CHAR, 1, text)) return {};
      return text;
    }
    case ValueForm::Binary: {
      Bytes bytes;
      if (!ReadChunks(column, SQL_C_BINARY, 0, bytes.data)) return {};
      return bytes;
    }
    case ValueForm::Text:
    case ValueForm::DateText:
      break;
  }
  std::string raw;
  if (!ReadChunks(column, SQL_C_WCHAR, sizeof(SQLWCHAR), raw)) return {};
  std::u16string wide(raw.size() / sizeof(char16_t), u'\0');
  std::memcpy(wide.data(), raw.data(), wide.size() * sizeof(char16_t));
  if (form == ValueForm::DateText) return WithFourDigitYear(Utf16ToUtf8(wide));
  return Utf16ToUtf8(wide);
}

}  // namespace devir::db
