#include "db/field.h"

#include <charconv>
#include <chrono>
#include <string_view>
#include <utility>

#include "db/database_error.h"
#include "db/general_number.h"
#include "db/hex.h"
#include "db/type_name.h"

namespace devir::db {

namespace {

// varchar(max) and nvarchar(max) are reported with size 0 (or a huge size by some drivers);
// the largest sized ones are varchar(8000) and nvarchar(4000).
bool IsMaxSize(long long size) {
  return size <= 0 || size > 8000;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Reads exactly `count` digits at `pos`.
bool ReadDigits(std::string_view text, std::size_t& pos, std::size_t count, int& out) {
  if (pos + count > text.size()) return false;
  out = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  pos += count;
  return true;
}

bool ReadTime(std::string_view text, std::size_t& pos, DateTime& out) {
  if (!ReadDigits(text, pos, 2, out.hour) || pos >= text.size() || text[pos++] != ':' ||
      !ReadDigits(text, pos, 2, out.minute) || pos >= text.size() || text[pos++] != ':' ||
      !ReadDigits(text, pos, 2, out.second)) {
    return false;
  }
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    std::uint32_t nanos = 0;
    int digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      if (digits < 9) {
        nanos = nanos * 10 + static_cast<std::uint32_t>(text[pos] - '0');
        ++digits;
      }
      ++pos;
    }
    if (digits == 0) return false;
    for (; digits < 9; ++digits) nanos *= 10;
    out.nanosecond = nanos;
  }
  return true;
}

// The ISO forms the driver gives for date, datetime2, datetimeoffset ("2017-03-05",
// "2017-03-05 14:30:00.1234567", "... +03:00", the offset ignored) and time ("14:30:00").
bool ParseIsoDateTime(std::string_view text, DateTime& out) {
  text = Trimmed(text);
  std::size_t pos = 0;
  DateTime value{1899, 12, 30};
  if (text.size() >= 3 && text[2] == ':') {
    if (!ReadTime(text, pos, value)) return false;
  } else {
    if (!ReadDigits(text, pos, 4, value.year) || pos >= text.size() || text[pos++] != '-' ||
        !ReadDigits(text, pos, 2, value.month) || pos >= text.size() || text[pos++] != '-' ||
        !ReadDigits(text, pos, 2, value.day)) {
      return false;
    }
    if (pos < text.size()) {
      if (text[pos] != ' ' && text[pos] != 'T') return false;
      ++pos;
      if (!ReadTime(text, pos, value)) return false;
    }
  }
  if (pos < text.size() && text[pos] != ' ') return false;
  if (value.month < 1 || value.month > 12 || value.day < 1 || value.day > 31 || value.hour > 23 ||
      value.minute > 59 || value.second > 59) {
    return false;
  }
  out = value;
  return true;
}

std::string TwoDigits(int value) {
  char buffer[16];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  std::string digits(buffer, end);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return digits;
}

std::chrono::sys_days CalendarDay(int year, int month, int day) {
  return std::chrono::year(year) / std::chrono::month(static_cast<unsigned>(month)) /
         std::chrono::day(static_cast<unsigned>(day));
}

}  // namespace

std::string WithFourDigitYear(std::string iso_text) {
  std::size_t digits = 0;
  while (digits < iso_text.size() && iso_text[digits] >= '0' && iso_text[digits] <= '9') ++digits;
  if (digits > 0 && digits < 4 && digits < iso_text.size() && iso_text[digits] == '-') {
    iso_text.insert(0, 4 - digits, '0');
  }
  return iso_text;
}

FieldKind KindOf(const ColumnType& type) {
  const std::string name = BaseTypeName(type.type_name);
  if (name == "varchar" || name == "nvarchar") {
    return IsMaxSize(type.size) ? FieldKind::Other : FieldKind::Text;
  }
  if (name == "char" || name == "nchar" || name == "sysname" || name == "uniqueidentifier" ||
      name == "date" || name == "time" || name == "datetime2" || name == "datetimeoffset") {
    return FieldKind::Text;
  }
  if (name == "int" || name == "smallint" || name == "tinyint") return FieldKind::Integer;
  if (name == "decimal" || name == "numeric") {
    return type.scale == 0 && type.precision < 10 ? FieldKind::Integer : FieldKind::Other;
  }
  if (name == "float" || name == "real") return FieldKind::Float;
  if (name == "datetime" || name == "smalldatetime") return FieldKind::DateTime;
  return FieldKind::Other;
}

Field::Field(std::string name, ColumnType type, FieldValue value)
    : name_(std::move(name)),
      type_(std::move(type)),
      base_type_(BaseTypeName(type_.type_name)),
      kind_(KindOf(type_)),
      value_(std::move(value)) {}

std::string& Field::ResetText() {
  if (auto* text = std::get_if<std::string>(&value_)) {
    text->clear();
    return *text;
  }
  return value_.emplace<std::string>();
}

std::string Field::AsText() const {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(std::int64_t number) const { return std::to_string(number); }
    std::string operator()(double number) const { return GeneralNumberText(number); }
    std::string operator()(const DateTime& t) const {
      return TwoDigits(t.day) + "." + TwoDigits(t.month) + "." + std::to_string(t.year) + " " +
             TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
    }
    std::string operator()(const Bytes& bytes) const { return UpperHex(bytes.data); }
  };
  return std::visit(Visitor{}, value_);
}

double Field::AsFloat() const {
  if (IsNull()) return 0;
  if (const auto* number = std::get_if<std::int64_t>(&value_)) return static_cast<double>(*number);
  if (const auto* number = std::get_if<double>(&value_)) return *number;
  if (const auto* text = std::get_if<std::string>(&value_)) {
    const std::string_view digits = Trimmed(*text);
    double result = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), result);
    if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty()) {
      return result;
    }
    throw DatabaseError("The value of field '" + name_ + "' is not a number.");
  }
  if (const auto* t = std::get_if<DateTime>(&value_)) {
    // Days since 30.12.1899 with the time of day as fraction, as OLE and Delphi count them;
    // before that day the fraction is counted away from zero.
    const long long days =
        (CalendarDay(t->year, t->month, t->day) - CalendarDay(1899, 12, 30)).count();
    const double fraction =
        (t->hour * 3600.0 + t->minute * 60.0 + t->second + t->nanosecond / 1e9) / 86400.0;
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
  }
  throw DatabaseError("The value of field '" + name_ + "' is not a number.");
}

DateTime Field::AsDateTime() const {
  if (IsNull()) return DateTime{1899, 12, 30};
  if (const auto* t = std::get_if<DateTime>(&value_)) return *t;
  if (const auto* text = std::get_if<std::string>(&value_)) {
    DateTime parsed;
    if (ParseIsoDateTime(*text, parsed)) return parsed;
  }
  throw DatabaseError("The value of field '" + name_ + "' is not a date and time.");
}

}  // namespace devir::db
