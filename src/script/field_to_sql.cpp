#include "script/field_to_sql.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <variant>

#include "db/hex.h"
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

void AppendNumberText(std::string& out, const std::string& text) {
  if (text.empty()) {
    out += '0';
  } else if (IsPlainNumber(text)) {
    out += text;
  } else {
    AppendTextLiteral(out, text, false);
  }
}

void AppendDigits(std::string& out, std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void AppendFloat(std::string& out, double value, std::string_view type) {
  // A real arrives widened to a double; its shortest text is that of the float.
  out += type == "real" ? ShortestRealText(static_cast<float>(value)) : ShortestDoubleText(value);
}

// The kind "other", and any value whose form its kind does not expect: by the value's form,
// with the type deciding between bit and number, exact number and text, N'' and ''.
void AppendByValue(std::string& out, const db::Field& field, std::string_view type) {
  const db::FieldValue& value = field.Value();
  if (const auto* number = std::get_if<std::int64_t>(&value)) {
    if (type == "bit") {
      out += *number != 0 ? '1' : '0';
    } else {
      AppendDigits(out, *number);
    }
    return;
  }
  if (const auto* number = std::get_if<double>(&value)) return AppendFloat(out, *number, type);
  if (const auto* bytes = std::get_if<db::Bytes>(&value)) {
    out += "0x";
    out += db::UpperHex(bytes->data);
    return;
  }
  if (const auto* date_time = std::get_if<db::DateTime>(&value)) {
    out += DateTimeLiteral(*date_time);
    return;
  }
  const std::string& text = std::get<std::string>(value);
  if (IsExactNumericType(type)) return AppendNumberText(out, text);
  AppendTextLiteral(out, text, IsUnicodeType(type));
}

}  // namespace

void AppendFieldSql(std::string& out, const db::Field& field) {
  // As a view, each comparison below looks at the length first.
  const std::string_view type = field.BaseType();
  // The server fills a timestamp itself and refuses any value given for it.
  if (type == "timestamp" || type == "rowversion") {
    out += "DEFAULT";
    return;
  }
  if (field.IsNull()) {
    out += "NULL";
    return;
  }
  const db::FieldValue& value = field.Value();
  switch (field.Kind()) {
    case db::FieldKind::Text:
      if (IsIsoDateType(type)) {
        return AppendTextLiteral(out, db::WithFourDigitYear(field.AsText()), false);
      }
      // Text is read as it stands, without a copy; another form by its text.
      if (const auto* text = std::get_if<std::string>(&value)) {
        return AppendTextLiteral(out, *text, IsUnicodeType(type));
      }
      return AppendTextLiteral(out, field.AsText(), IsUnicodeType(type));
    case db::FieldKind::Integer:
      if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return AppendDigits(out, *number);
      }
      return AppendNumberText(out, field.AsText());
    case db::FieldKind::Float:
      if (const auto* number = std::get_if<double>(&value)) {
        return AppendFloat(out, *number, type);
      }
      return AppendNumberText(out, field.AsText());
    case db::FieldKind::DateTime:
      out += DateTimeLiteral(field.AsDateTime());
      return;
    case db::FieldKind::Other:
      break;
  }
  AppendByValue(out, field, type);
}

std::string FieldToSql(const db::Field& field) {
  std::string out;
  AppendFieldSql(out, field);
  return out;
}

}  // namespace devir::script
