#include "script/field_to_sql.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <variant>

#include "db/hex.h"
#include "db/type_name.h"
#include "script/date_literal.h"
#include "script/float_text.h"
#include "script/text_literal.h"

namespace devir::script {

namespace {

bool IsUnicodeType(std::string_view type) {
  return type == "nchar" || type == "nvarchar" || type == "ntext" || type == "xml" ||
         type == "sysname";
}

bool IsExactNumericType(std::string_view type) {
  return type == "decimal" || type == "numeric" || type == "money" || type == "smallmoney";
}

// [-]digits[.digits]: a number the server reads as it stands. Anything else is quoted, so
// that no value can change the statement's meaning.
bool IsPlainNumber(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  bool digit_seen = false;
  bool point_seen = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit_seen = true;
    } else if (c == '.' && !point_seen) {
      point_seen = true;
    } else {
      return false;
    }
  }
  return digit_seen;
}

bool IsIsoDateType(std::string_view type) {
  return type == "date" || type == "datetime2" || type == "datetimeoffset";
}

std::string NumberText(std::string text) {
  if (text.empty()) return "0";
  if (IsPlainNumber(text)) return text;
  return TextLiteral(text, false);
}

std::string Digits(std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FloatLiteral(double value, std::string_view type) {
  // A real arrives widened to a double; its shortest text is that of the float.
  return type == "real" ? ShortestRealText(static_cast<float>(value)) : ShortestDoubleText(value);
}

// The kind "other", and any value whose form its kind does not expect: by the value's form,
// with the type deciding between bit and number, exact number and text, N'' and ''.
std::string ByValue(const db::Field& field, std::string_view type) {
  const db::FieldValue& value = field.Value();
  if (const auto* number = std::get_if<std::int64_t>(&value)) {
    if (type == "bit") return *number != 0 ? "1" : "0";
    return Digits(*number);
  }
  if (const auto* number = std::get_if<double>(&value)) return FloatLiteral(*number, type);
  if (const auto* bytes = std::get_if<db::Bytes>(&value)) return "0x" + db::UpperHex(bytes->data);
  if (const auto* date_time = std::get_if<db::DateTime>(&value)) {
    return DateTimeLiteral(*date_time);
  }
  const std::string& text = std::get<std::string>(value);
  if (IsExactNumericType(type)) return NumberText(text);
  return TextLiteral(text, IsUnicodeType(type));
}

}  // namespace

std::string FieldToSql(const db::Field& field) {
  const std::string type = db::BaseTypeName(field.Type().type_name);
  // The server fills a timestamp itself and refuses any value given for it.
  if (type == "timestamp" || type == "rowversion") return "DEFAULT";
  if (field.IsNull()) return "NULL";
  switch (field.Kind()) {
    case db::FieldKind::Text:
      if (IsIsoDateType(type)) return TextLiteral(db::WithFourDigitYear(field.AsText()), false);
      return TextLiteral(field.AsText(), IsUnicodeType(type));
    case db::FieldKind::Integer:
      return NumberText(field.AsText());
    case db::FieldKind::Float:
      if (const auto* number = std::get_if<double>(&field.Value())) {
        return FloatLiteral(*number, type);
      }
      return NumberText(field.AsText());
    case db::FieldKind::DateTime:
      return DateTimeLiteral(field.AsDateTime());
    case db::FieldKind::Other:
      break;
  }
  return ByValue(field, type);
}

}  // namespace devir::script
