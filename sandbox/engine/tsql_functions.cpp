#include "sandbox/engine/tsql_functions.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <string_view>

#include "sandbox/engine/constant_eval.h"
#include "sandbox/engine/convert.h"
#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/sqlite_db.h"
#include "sandbox/engine/text_fold.h"
#include "sandbox/engine/utf8.h"

namespace sandbox {
namespace {

std::string_view ArgText(sqlite3_value* value) {
  const unsigned char* text = sqlite3_value_text(value);
  if (!text) return {};
  return std::string_view(reinterpret_cast<const char*>(text),
                          static_cast<size_t>(sqlite3_value_bytes(value)));
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

void ResultText(sqlite3_context* context, const std::string& text) {
  sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

int Collate(void*, int a_len, const void* a, int b_len, const void* b) {
  return CompareTurkishCi(std::string_view(static_cast<const char*>(a), a_len),
                          std::string_view(static_cast<const char*>(b), b_len));
}

// Byte offset of the n-th code point (n >= 0), or size when beyond the end.
size_t Utf8Offset(std::string_view s, long long n) {
  size_t i = 0;
  while (i < s.size() && n > 0) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    --n;
  }
  return i;
}

void GetDate(sqlite3_context* context, int, sqlite3_value**) {
  ResultText(context, CurrentDateTimeText());
}

void NewId(sqlite3_context* context, int, sqlite3_value**) {
  ResultText(context, NewGuidText());
}

void Len(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string_view text = ArgText(argv[0]);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  sqlite3_result_int64(context, static_cast<sqlite3_int64>(Utf16Length(text)));
}

void DataLength(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_INTEGER) return sqlite3_result_int(context, 4);
  if (type == SQLITE_FLOAT) return sqlite3_result_int(context, 8);
  if (type == SQLITE_BLOB) return sqlite3_result_int(context, sqlite3_value_bytes(argv[0]));
  sqlite3_result_int64(context, static_cast<sqlite3_int64>(Utf16Length(ArgText(argv[0])) * 2));
}

void Left(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string_view text = ArgText(argv[0]);
  long long n = sqlite3_value_int64(argv[1]);
  if (n < 0) {
    sqlite3_result_error(context, "Invalid length parameter passed to the left function.", -1);
    return;
  }
  ResultText(context, std::string(text.substr(0, Utf8Offset(text, n))));
}

void Right(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string_view text = ArgText(argv[0]);
  long long n = sqlite3_value_int64(argv[1]);
  if (n < 0) {
    sqlite3_result_error(context, "Invalid length parameter passed to the right function.", -1);
    return;
  }
  long long length = static_cast<long long>(Utf8Length(text));
  long long skip = length > n ? length - n : 0;
  ResultText(context, std::string(text.substr(Utf8Offset(text, skip))));
}

void CharIndex(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string needle = TurkishUpper(ArgText(argv[0]));
  std::string hay = TurkishUpper(ArgText(argv[1]));
  long long start = argc > 2 ? sqlite3_value_int64(argv[2]) : 1;
  if (start < 1) start = 1;
  if (needle.empty()) return sqlite3_result_int(context, 0);
  size_t from = Utf8Offset(hay, start - 1);
  size_t found = hay.find(needle, from);
  if (found == std::string::npos) return sqlite3_result_int(context, 0);
  sqlite3_result_int64(
      context, static_cast<sqlite3_int64>(Utf8Length(std::string_view(hay).substr(0, found)) + 1));
}

void UpperFn(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  ResultText(context, TurkishUpper(ArgText(argv[0])));
}

void LowerFn(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  ResultText(context, TurkishLower(ArgText(argv[0])));
}

// YEAR/MONTH/DAY of the stored text forms "yyyy-mm-dd[ ...]".
void DatePart(sqlite3_context* context, int argc, sqlite3_value** argv, int field) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string_view text = ArgText(argv[0]);
  int year = 0;
  int month = 0;
  int day = 0;
  std::string copy(text);
  if (std::sscanf(copy.c_str(), "%d-%d-%d", &year, &month, &day) != 3) {
    sqlite3_result_error(context,
                         "Conversion failed when converting date and/or time from "
                         "character string.",
                         -1);
    return;
  }
  sqlite3_result_int(context, field == 0 ? year : field == 1 ? month : day);
}

void Year(sqlite3_context* c, int n, sqlite3_value** v) {
  DatePart(c, n, v, 0);
}
void Month(sqlite3_context* c, int n, sqlite3_value** v) {
  DatePart(c, n, v, 1);
}
void Day(sqlite3_context* c, int n, sqlite3_value** v) {
  DatePart(c, n, v, 2);
}

void Space(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  long long n = sqlite3_value_int64(argv[0]);
  if (n < 0) return sqlite3_result_null(context);
  ResultText(context, std::string(static_cast<size_t>(std::min<long long>(n, 8000)), ' '));
}

void Replicate(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string_view text = ArgText(argv[0]);
  long long n = sqlite3_value_int64(argv[1]);
  if (n < 0) return sqlite3_result_null(context);
  std::string out;
  for (long long i = 0; i < n && out.size() < 8000; ++i) out += text;
  ResultText(context, out);
}

void Sign(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  double v = sqlite3_value_double(argv[0]);
  sqlite3_result_int(context, v > 0 ? 1 : v < 0 ? -1 : 0);
}

constexpr std::string_view kErrorMark = "\x01tsql|";

void RaiseTsqlError(sqlite3_context* context, const SqlError& error) {
  const std::string message = EncodeTsqlError(error);
  sqlite3_result_error(context, message.c_str(), static_cast<int>(message.size()));
}

// The divisor of / and %: division by zero is an error in T-SQL, NULL in SQLite.
void Divisor(sqlite3_context* context, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  const bool zero = (type == SQLITE_INTEGER && sqlite3_value_int64(argv[0]) == 0) ||
                    (type == SQLITE_FLOAT && sqlite3_value_double(argv[0]) == 0.0) ||
                    (type == SQLITE_TEXT && sqlite3_value_numeric_type(argv[0]) != SQLITE_TEXT &&
                     sqlite3_value_double(argv[0]) == 0.0);
  if (zero) return RaiseTsqlError(context, DivideByZero());
  sqlite3_result_value(context, argv[0]);
}

ColumnType ParseType(std::string_view text) {
  const std::vector<Token> tokens = Tokenize(text);
  std::vector<std::string> args;
  for (std::size_t k = 1; k < tokens.size(); ++k) {
    if (tokens[k].kind == Token::Kind::kNumber || tokens[k].IsWord("MAX")) {
      args.push_back(tokens[k].text);
    }
  }
  std::optional<ColumnType> type = MakeColumnType(tokens.front().text, args, "");
  if (!type) throw UnknownType(1, tokens.front().text);
  return *type;
}

// The argument as the value a column of its source type holds.
Value SourceValue(sqlite3_value* value, const ColumnType& type) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      return std::monostate{};
    case SQLITE_INTEGER:
      if (IsExactNumericType(type.type)) return std::to_string(sqlite3_value_int64(value));
      return static_cast<std::int64_t>(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
      return sqlite3_value_double(value);
    case SQLITE_BLOB: {
      const void* data = sqlite3_value_blob(value);
      return Blob{data ? std::string(static_cast<const char*>(data),
                                     static_cast<std::size_t>(sqlite3_value_bytes(value)))
                       : std::string()};
    }
    default:
      return std::string(ArgText(value));
  }
}

// The argument as a constant of its source type; without one, typed by its storage.
Scalar SourceScalar(sqlite3_value* value, std::string_view source, const ColumnType& target) {
  if (source.empty()) {
    ColumnType guess;
    guess.type = sqlite3_value_type(value) == SQLITE_TEXT ? SqlType::VarChar : SqlType::Float;
    if (sqlite3_value_type(value) == SQLITE_INTEGER) guess.type = SqlType::BigInt;
    if (sqlite3_value_type(value) == SQLITE_BLOB) guess.type = SqlType::VarBinary;
    return ScalarFromValue(SourceValue(value, guess), guess);
  }
  const ColumnType type = ParseType(source);
  const Value stored = SourceValue(value, type);
  // Dates, times and money become text as CONVERT style 0 writes them.
  const bool styled =
      IsDateTimeType(type.type) || type.type == SqlType::Money || type.type == SqlType::SmallMoney;
  if (IsStringType(target.type) && styled && !std::holds_alternative<std::monostate>(stored)) {
    Scalar text;
    text.kind = Scalar::Kind::kVarChar;
    text.text = ValueToText(stored, type);
    return text;
  }
  return ScalarFromValue(stored, type);
}

void Cast(sqlite3_context* context, int, sqlite3_value** argv) {
  const bool try_cast = sqlite3_value_int(argv[4]) != 0;
  try {
    const ColumnType type = ParseType(ArgText(argv[1]));
    const std::string_view format_name = ArgText(argv[3]);
    const DateFormat format = format_name == "DMY"   ? DateFormat::kDmy
                              : format_name == "YMD" ? DateFormat::kYmd
                                                     : DateFormat::kMdy;
    const Scalar source = SourceScalar(argv[0], ArgText(argv[2]), type);
    const Value value = ConvertForCast(source, ColumnTarget{"", "", "", type}, format);
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
      return sqlite3_result_int64(context, *i);
    }
    if (const auto* d = std::get_if<double>(&value)) return sqlite3_result_double(context, *d);
    if (const auto* t = std::get_if<std::string>(&value)) return ResultText(context, *t);
    if (const auto* b = std::get_if<Blob>(&value)) {
      return sqlite3_result_blob64(context, b->bytes.data(), b->bytes.size(), SQLITE_TRANSIENT);
    }
    sqlite3_result_null(context);
  } catch (const SqlError& error) {
    if (try_cast) return sqlite3_result_null(context);
    RaiseTsqlError(context, error);
  }
}

struct Function {
  const char* name;
  int args;
  void (*fn)(sqlite3_context*, int, sqlite3_value**);
  bool deterministic;
};

constexpr Function kFunctions[] = {
    {"GETDATE", 0, GetDate, false},
    {"SYSDATETIME", 0, GetDate, false},
    {"NEWID", 0, NewId, false},
    {"LEN", 1, Len, true},
    {"DATALENGTH", 1, DataLength, true},
    {"TSQL_LEFT", 2, Left, true},
    {"TSQL_RIGHT", 2, Right, true},
    {"CHARINDEX", 2, CharIndex, true},
    {"CHARINDEX", 3, CharIndex, true},
    {"UPPER", 1, UpperFn, true},
    {"LOWER", 1, LowerFn, true},
    {"YEAR", 1, Year, true},
    {"MONTH", 1, Month, true},
    {"DAY", 1, Day, true},
    {"SPACE", 1, Space, true},
    {"REPLICATE", 2, Replicate, true},
    {"SIGN", 1, Sign, true},
    {"__devir_divisor", 1, Divisor, true},
    {"__devir_cast", 5, Cast, true},
};

}  // namespace

void RegisterTsqlFunctions(SqliteDb& db) {
  sqlite3* handle = db.Get();
  int rc =
      sqlite3_create_collation_v2(handle, kTextCollation, SQLITE_UTF8, nullptr, Collate, nullptr);
  if (rc != SQLITE_OK) throw SqliteError(rc, sqlite3_errmsg(handle));
  for (const Function& f : kFunctions) {
    int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
    rc = sqlite3_create_function_v2(handle, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr,
                                    nullptr);
    if (rc != SQLITE_OK) throw SqliteError(rc, sqlite3_errmsg(handle));
  }
}

std::string EncodeTsqlError(const SqlError& error) {
  return std::string(kErrorMark) + std::to_string(error.number) + "|" +
         std::to_string(error.severity) + "|" + std::to_string(error.state) + "|" + error.what();
}

std::optional<SqlError> DecodeTsqlError(const std::string& message) {
  if (message.rfind(kErrorMark, 0) != 0) return std::nullopt;
  int number = 0;
  int severity = 0;
  int state = 0;
  int used = 0;
  const std::string rest = message.substr(kErrorMark.size());
  if (std::sscanf(rest.c_str(), "%d|%d|%d|%n", &number, &severity, &state, &used) != 3) {
    return std::nullopt;
  }
  return SqlError(number, severity, state, rest.substr(static_cast<std::size_t>(used)));
}

std::string CurrentDateTimeText() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  // datetime keeps 1/300 s: round the milliseconds to .000, .003 or .007.
  long ticks = static_cast<long>((millis * 300 + 500) / 1000);
  if (ticks >= 300) ticks = 299;
  long rounded = static_cast<long>((ticks * 1000 + 150) / 300);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, rounded);
  return buffer;
}

std::string NewGuidText() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uint64_t a = generator();
  std::uint64_t b = generator();
  a = (a & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL;  // version 4
  b = (b & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;  // variant
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%08X-%04X-%04X-%04X-%012llX",
                static_cast<unsigned>(a >> 32), static_cast<unsigned>((a >> 16) & 0xFFFF),
                static_cast<unsigned>(a & 0xFFFF), static_cast<unsigned>(b >> 48),
                static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
  return buffer;
}

}  // namespace sandbox
