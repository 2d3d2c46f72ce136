// Strings and numbers to SQL Server's date and time types.
//
// Two readers, as in SQL Server: datetime and smalldatetime keep the old reader, for which even
// 'yyyy-mm-dd' follows DATEFORMAT (under dmy it is year-day-month) and an impossible day or month
// is an out-of-range value (242); date, time, datetime2 and datetimeoffset read a four-digit year
// first as year-month-day always, and report every bad string as 241.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "sandbox/engine/convert_detail.h"
#include "sandbox/engine/sql_messages.h"

namespace sandbox::convert_detail {

namespace {

enum class Reader { kLegacy, kModern };
enum class Outcome { kOk, kSyntax, kRange };

Outcome Worse(Outcome a, Outcome b) {
  if (a == Outcome::kSyntax || b == Outcome::kSyntax) return Outcome::kSyntax;
  if (a == Outcome::kRange || b == Outcome::kRange) return Outcome::kRange;
  return Outcome::kOk;
}

struct Parts {
  int year = 1900, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
  std::int64_t fraction = 0;  // units of 100 ns
  bool has_offset = false;
  bool zulu = false;  // 'Z' rather than a numeric offset
  int offset_minutes = 0;
};

constexpr std::int64_t kUnitsPerSecond = 10'000'000;
constexpr std::int64_t kUnitsPerDay = 86'400 * kUnitsPerSecond;
constexpr std::int64_t kTicksPerDay = 86'400 * 300;  // datetime counts 1/300 s

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

int ToInt(std::string_view s) {
  int value = 0;
  for (char c : s) value = value * 10 + (c - '0');
  return value;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

constexpr const char* kMonthNames[] = {"january",   "february", "march",    "april",
                                       "may",       "june",     "july",     "august",
                                       "september", "october",  "november", "december"};
constexpr const char* kMonthAbbreviations[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// 1..12 for an English month name or its three-letter abbreviation (us_english), else 0.
int MonthFromName(std::string_view word) {
  for (int i = 0; i < 12; ++i) {
    std::string_view full = kMonthNames[i];
    if (EqualsIgnoreCase(word, full) || EqualsIgnoreCase(word, full.substr(0, 3))) return i + 1;
  }
  return 0;
}

bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days since 0001-01-01 of the proleptic Gregorian calendar (after H. Hinnant's algorithm).
std::int64_t DaysFromCivil(int year, int month, int day) {
  std::int64_t y = month <= 2 ? year - 1 : year;
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t yoe = y - era * 400;
  std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 306 - 365;  // 0000-03-01 based, moved to 0001-01-01
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  std::int64_t z = days + 306 + 365;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

const std::int64_t kDay1900 = DaysFromCivil(1900, 1, 1);

// Two-digit years: 00-49 are 20xx, 50-99 19xx (two digit year cutoff 2049).
int ExpandYear(std::string_view digits) {
  int year = ToInt(digits);
  if (digits.size() <= 2) year += year < 50 ? 2000 : 1900;
  return year;
}

bool IsYear(std::string_view s) {
  return AllDigits(s) && (s.size() <= 2 || s.size() == 4);
}
bool IsDayOrMonth(std::string_view s) {
  return AllDigits(s) && s.size() <= 2;
}

Outcome CheckDate(Reader reader, int year, int month, int day) {
  Outcome bad = reader == Reader::kLegacy ? Outcome::kRange : Outcome::kSyntax;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return bad;
  if (year < 1 || year > 9999) return bad;
  if (reader == Reader::kLegacy && year < 1753) return Outcome::kRange;
  return Outcome::kOk;
}

std::vector<std::string_view> SplitAny(std::string_view s, std::string_view separators) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || separators.find(s[i]) != std::string_view::npos) {
      if (i > start) parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// A date with a month name: 'Mar 5 2017', '5 March 2017', 'March 5, 2017', '2017 Mar 5'.
Outcome ParseAlphaDate(std::string_view text, Reader reader, Parts& parts) {
  int month = 0;
  std::vector<std::string_view> numbers;
  for (std::string_view token : SplitAny(text, " ,-/.")) {
    if (AllDigits(token)) {
      numbers.push_back(token);
    } else {
      int m = MonthFromName(token);
      if (m == 0 || month != 0) return Outcome::kSyntax;
      month = m;
    }
  }
  if (month == 0) return Outcome::kSyntax;
  std::string_view year_text, day_text;
  if (numbers.size() == 1 && numbers[0].size() == 4) {
    year_text = numbers[0];
    day_text = "1";
  } else if (numbers.size() == 2) {
    if (numbers[0].size() == 4) {
      year_text = numbers[0];
      day_text = numbers[1];
    } else {
      day_text = numbers[0];
      year_text = numbers[1];
    }
  } else {
    return Outcome::kSyntax;
  }
  if (!IsYear(year_text) || !IsDayOrMonth(day_text)) return Outcome::kSyntax;
  parts.year = ExpandYear(year_text);
  parts.month = month;
  parts.day = ToInt(day_text);
  return CheckDate(reader, parts.year, parts.month, parts.day);
}

Outcome ParseDate(std::string_view text, Reader reader, DateFormat format, Parts& parts) {
  for (char c : text) {
    if (IsAlpha(c)) return ParseAlphaDate(text, reader, parts);
  }
  if (AllDigits(text)) {
    // Unseparated: yyyymmdd (ISO everywhere), yymmdd, or a year alone.
    std::string_view year = text.substr(0, text.size() == 6 ? 2 : 4);
    if (text.size() == 8 || text.size() == 6) {
      parts.year = ExpandYear(year);
      parts.month = ToInt(text.substr(year.size(), 2));
      parts.day = ToInt(text.substr(year.size() + 2, 2));
    } else if (text.size() == 4) {
      parts.year = ToInt(text);
      parts.month = parts.day = 1;
    } else {
      return Outcome::kSyntax;
    }
    return CheckDate(reader, parts.year, parts.month, parts.day);
  }
  std::size_t sep_at = text.find_first_of("/.-");
  if (sep_at == std::string_view::npos) return Outcome::kSyntax;
  char separator = text[sep_at];
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == separator) {
      fields.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (fields.size() != 3) return Outcome::kSyntax;
  std::string_view y, m, d;
  if (fields[0].size() == 4) {
    // Year first: the old reader keeps DATEFORMAT's order of day and month (dmy gives ydm).
    y = fields[0];
    bool day_first = reader == Reader::kLegacy && format == DateFormat::kDmy;
    d = day_first ? fields[1] : fields[2];
    m = day_first ? fields[2] : fields[1];
  } else if (format == DateFormat::kDmy) {
    d = fields[0], m = fields[1], y = fields[2];
  } else if (format == DateFormat::kMdy) {
    m = fields[0], d = fields[1], y = fields[2];
  } else {
    y = fields[0], m = fields[1], d = fields[2];
    if (y.size() == 4) return Outcome::kSyntax;
  }
  if (!IsYear(y) || !IsDayOrMonth(m) || !IsDayOrMonth(d)) return Outcome::kSyntax;
  parts.year = ExpandYear(y);
  parts.month = ToInt(m);
  parts.day = ToInt(d);
  return CheckDate(reader, parts.year, parts.month, parts.day);
}

// 'hh:mm', 'hh:mm:ss', 'hh:mm:ss.fffffff', 'hh:mm:ss:fff' (thousandths after a colon), each
// with an optional AM/PM; 'hh AM'.
Outcome ParseTime(std::string_view text, Reader reader, Parts& parts) {
  int meridian = 0;  // 1 AM, 2 PM
  if (text.size() >= 2) {
    std::string_view tail = text.substr(text.size() - 2);
    if (EqualsIgnoreCase(tail, "AM") || EqualsIgnoreCase(tail, "PM")) {
      meridian = EqualsIgnoreCase(tail, "AM") ? 1 : 2;
      text = TrimBlanks(text.substr(0, text.size() - 2));
    }
  }
  std::string_view fraction;
  bool has_fraction = false;
  if (std::size_t dot = text.find('.'); dot != std::string_view::npos) {
    fraction = text.substr(dot + 1);
    text = text.substr(0, dot);
    has_fraction = true;
    if (!fraction.empty() && !AllDigits(fraction)) return Outcome::kSyntax;
  }
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ':') {
      fields.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (fields.size() == 1 && meridian == 0) return Outcome::kSyntax;
  if (fields.size() > 4 || (fields.size() == 4 && has_fraction)) return Outcome::kSyntax;
  if (has_fraction && fields.size() != 3) return Outcome::kSyntax;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::size_t max_digits = i == 3 ? 3 : 2;
    if (!AllDigits(fields[i]) || fields[i].size() > max_digits) return Outcome::kSyntax;
  }
  int hour = ToInt(fields[0]);
  int minute = fields.size() > 1 ? ToInt(fields[1]) : 0;
  int second = fields.size() > 2 ? ToInt(fields[2]) : 0;
  std::int64_t units = 0;
  if (fields.size() == 4) {
    units = static_cast<std::int64_t>(ToInt(fields[3])) * 10'000;
  } else if (has_fraction) {
    std::size_t max_digits = reader == Reader::kLegacy ? 3 : 7;
    if (fraction.size() > max_digits) return Outcome::kSyntax;
    std::string padded(fraction);
    padded.append(7 - padded.size(), '0');
    units = ToInt(padded);
  }
  // Well-formed but impossible ('25:00', '12:60', '13:00 AM'): out of range for the old reader.
  Outcome bad = reader == Reader::kLegacy ? Outcome::kRange : Outcome::kSyntax;
  if (meridian != 0) {
    if (hour > 12) return bad;
    if (meridian == 1 && hour == 12) hour = 0;
    if (meridian == 2 && hour < 12) hour += 12;
  }
  if (hour > 23 || minute > 59 || second > 59) return bad;
  parts.hour = hour;
  parts.minute = minute;
  parts.second = second;
  parts.fraction = units;
  return Outcome::kOk;
}

bool IsTimeChunk(std::string_view chunk) {
  if (chunk.find(':') != std::string_view::npos) return true;
  if (chunk.size() < 2) return false;
  std::string_view tail = chunk.substr(chunk.size() - 2);
  if (!EqualsIgnoreCase(tail, "AM") && !EqualsIgnoreCase(tail, "PM")) return false;
  std::string_view head = chunk.substr(0, chunk.size() - 2);
  return head.empty() || AllDigits(head);
}

// Takes a trailing time zone off: 'Z' right after the time, or '+hh:mm' / '-hh:mm'.
void TakeOffset(std::string_view& text, Parts& parts) {
  if (text.size() >= 2 && (text.back() == 'Z' || text.back() == 'z') &&
      IsDigit(text[text.size() - 2])) {
    parts.has_offset = true;
    parts.zulu = true;
    text = TrimBlanks(text.substr(0, text.size() - 1));
    return;
  }
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon + 3 != text.size()) return;
  std::size_t sign = colon;
  while (sign > 0 && IsDigit(text[sign - 1]) && colon - sign < 2) --sign;
  if (sign == colon || sign == 0 || (text[sign - 1] != '+' && text[sign - 1] != '-')) return;
  --sign;
  if (sign == 0) return;
  char before = text[sign - 1];
  if (before != ' ' && !IsDigit(before)) return;
  std::string_view hours = text.substr(sign + 1, colon - sign - 1);
  std::string_view minutes = text.substr(colon + 1);
  if (!AllDigits(minutes)) return;
  parts.has_offset = true;
  parts.offset_minutes = (ToInt(hours) * 60 + ToInt(minutes)) * (text[sign] == '-' ? -1 : 1);
  text = TrimBlanks(text.substr(0, sign));
}

Outcome Parse(std::string_view text, Reader reader, DateFormat format, Parts& parts) {
  text = TrimBlanks(text);
  if (text.empty()) return Outcome::kOk;  // '' is 1900-01-01 00:00
  TakeOffset(text, parts);
  if (parts.has_offset) {
    // datetime takes only the 'Z' of ISO 8601.
    if (reader == Reader::kLegacy && !parts.zulu) return Outcome::kSyntax;
    if (parts.offset_minutes < -14 * 60 || parts.offset_minutes > 14 * 60) {
      return Outcome::kSyntax;
    }
  }
  // ISO 8601 with T: always year-month-day.
  if (text.size() > 10 && (text[10] == 'T' || text[10] == 't') && AllDigits(text.substr(0, 4)) &&
      text[4] == '-' && AllDigits(text.substr(5, 2)) && text[7] == '-' &&
      AllDigits(text.substr(8, 2))) {
    parts.year = ToInt(text.substr(0, 4));
    parts.month = ToInt(text.substr(5, 2));
    parts.day = ToInt(text.substr(8, 2));
    std::string_view time = text.substr(11);
    // datetime's ISO form needs hh:mm:ss; the newer types also take hh:mm.
    auto colons = std::count(time.begin(), time.end(), ':');
    if (colons < (reader == Reader::kLegacy ? 2 : 1)) return Outcome::kSyntax;
    Outcome time_outcome = ParseTime(time, reader, parts);
    return Worse(time_outcome, CheckDate(reader, parts.year, parts.month, parts.day));
  }
  std::vector<std::string_view> chunks = SplitAny(text, " \t\r\n");
  std::string date_text, time_text;
  int last_time = -1;
  for (int i = 0; i < static_cast<int>(chunks.size()); ++i) {
    if (IsTimeChunk(chunks[i])) {
      if (last_time >= 0 && last_time != i - 1) return Outcome::kSyntax;
      last_time = i;
      if (!time_text.empty()) time_text += ' ';
      time_text += chunks[i];
    } else {
      if (!date_text.empty()) date_text += ' ';
      date_text += chunks[i];
    }
  }
  Outcome outcome = Outcome::kOk;
  if (!time_text.empty()) outcome = ParseTime(time_text, reader, parts);
  if (!date_text.empty()) outcome = Worse(outcome, ParseDate(date_text, reader, format, parts));
  return outcome;
}

std::string Format(const char* format, int a, int b, int c) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, a, b, c);
  return buffer;
}

// Appends value (>= 0) with at least width digits, zeros in front: printf's %0Nd, without
// printf (every datetime written goes through here).
void AppendDigits(std::string& out, std::int64_t value, int width) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  for (int i = count; i < width; ++i) out += '0';
  while (count > 0) out += digits[--count];
}

std::string DateText(std::int64_t days_since_0001) {
  int year = 0, month = 0, day = 0;
  CivilFromDays(days_since_0001, year, month, day);
  std::string text;
  AppendDigits(text, year, 4);
  text += '-';
  AppendDigits(text, month, 2);
  text += '-';
  AppendDigits(text, day, 2);
  return text;
}

// "hh:mm:ss" of a number of seconds.
void AppendClock(std::string& out, std::int64_t seconds) {
  AppendDigits(out, seconds / 3600, 2);
  out += ':';
  AppendDigits(out, seconds / 60 % 60, 2);
  out += ':';
  AppendDigits(out, seconds % 60, 2);
}

// "hh:mm:ss" plus scale fractional digits of units (100 ns) of the day.
std::string TimeText(std::int64_t units_of_day, int scale) {
  std::string text;
  AppendClock(text, units_of_day / kUnitsPerSecond);
  if (scale > 0) {
    std::string digits;
    AppendDigits(digits, units_of_day % kUnitsPerSecond, 7);
    text += '.';
    text.append(digits, 0, static_cast<std::size_t>(scale));
  }
  return text;
}

// datetime's text from days since 1900-01-01 and 1/300 s ticks of the day.
std::string LegacyText(std::int64_t days, std::int64_t ticks) {
  std::int64_t ms = (ticks * 10 + 1) / 3;
  std::string text = DateText(kDay1900 + days) + ' ';
  AppendClock(text, ms / 1000);
  text += '.';
  AppendDigits(text, ms % 1000, 3);
  return text;
}

const std::int64_t kDateTimeMinDays = DaysFromCivil(1753, 1, 1) - kDay1900;
const std::int64_t kDateTimeMaxDays = DaysFromCivil(9999, 12, 31) - kDay1900;
const std::int64_t kSmallMaxDays = DaysFromCivil(2079, 6, 6) - kDay1900;

[[noreturn]] void ThrowOverflow(SqlType type) {
  throw ExpressionOverflow(TypeName(type));
}

}  // namespace

std::string DateTimeFromString(std::string_view text, const ColumnType& type, DateFormat format,
                               const char* source_type) {
  bool legacy = type.type == SqlType::DateTime || type.type == SqlType::SmallDateTime;
  Parts parts;
  Outcome outcome = Parse(text, legacy ? Reader::kLegacy : Reader::kModern, format, parts);
  auto out_of_range = [&] { return DateOutOfRange(source_type, TypeName(type.type)); };
  if (outcome == Outcome::kSyntax) throw NotADateTime();
  if (outcome == Outcome::kRange) throw out_of_range();

  std::int64_t days = DaysFromCivil(parts.year, parts.month, parts.day);
  std::int64_t seconds_of_day = (parts.hour * 60 + parts.minute) * 60 + parts.second;
  if (type.type == SqlType::DateTime) {
    std::int64_t ms = parts.fraction / 10'000;
    std::int64_t ticks = seconds_of_day * 300 + (ms * 3 + 5) / 10;
    days -= kDay1900;
    if (ticks >= kTicksPerDay) {
      ++days;
      ticks -= kTicksPerDay;
    }
    if (days < kDateTimeMinDays || days > kDateTimeMaxDays) throw out_of_range();
    return LegacyText(days, ticks);
  }
  if (type.type == SqlType::SmallDateTime) {
    std::int64_t minutes = parts.hour * 60 + parts.minute;
    // Rounded to the minute: 29.998 s and less down, 29.999 s and more up.
    if (parts.second * 1000 + parts.fraction / 10'000 >= 29'999) ++minutes;
    days -= kDay1900;
    if (minutes == 1440) {
      ++days;
      minutes = 0;
    }
    if (days < 0 || days > kSmallMaxDays) throw out_of_range();
    return LegacyText(days, minutes * 60 * 300);
  }
  if (type.type == SqlType::Date) return DateText(days);

  // time, datetime2, datetimeoffset: round the fraction to the column's scale.
  int scale = type.scale;
  if (scale < 0 || scale > 7) scale = 7;
  std::int64_t unit = 1;
  for (int i = scale; i < 7; ++i) unit *= 10;
  std::int64_t units = seconds_of_day * kUnitsPerSecond + (parts.fraction + unit / 2) / unit * unit;
  if (units >= kUnitsPerDay) {
    units -= kUnitsPerDay;
    if (type.type != SqlType::Time) ++days;
  }
  if (type.type == SqlType::Time) return TimeText(units, scale);
  if (days > DaysFromCivil(9999, 12, 31)) throw NotADateTime();
  std::string result = DateText(days) + ' ' + TimeText(units, scale);
  if (type.type == SqlType::DateTimeOffset) {
    int offset = std::abs(parts.offset_minutes);
    char zone[16];
    std::snprintf(zone, sizeof zone, " %c%02d:%02d", parts.offset_minutes < 0 ? '-' : '+',
                  offset / 60, offset % 60);
    result += zone;
  }
  return result;
}

std::string DateTimeFromWholeDays(std::int64_t days, SqlType type) {
  std::int64_t min = type == SqlType::DateTime ? kDateTimeMinDays : 0;
  std::int64_t max = type == SqlType::DateTime ? kDateTimeMaxDays : kSmallMaxDays;
  if (days < min || days > max) ThrowOverflow(type);
  return LegacyText(days, 0);
}

std::string DateTimeFromDays(double value, SqlType type) {
  if (!std::isfinite(value) || std::fabs(value) > 1e8) ThrowOverflow(type);
  double whole = std::floor(value);
  double fraction = value - whole;
  auto days = static_cast<std::int64_t>(whole);
  std::int64_t ticks = 0;
  if (type == SqlType::DateTime) {
    ticks = std::llround(fraction * static_cast<double>(kTicksPerDay));
  } else {
    ticks = std::llround(fraction * 1440.0) * 60 * 300;
  }
  if (ticks >= kTicksPerDay) {
    ++days;
    ticks -= kTicksPerDay;
  }
  std::int64_t min = type == SqlType::DateTime ? kDateTimeMinDays : 0;
  std::int64_t max = type == SqlType::DateTime ? kDateTimeMaxDays : kSmallMaxDays;
  if (days < min || days > max) ThrowOverflow(type);
  return LegacyText(days, ticks);
}

std::string DateTimeStyle0(const std::string& canonical) {
  // canonical: "yyyy-mm-dd hh:mm:ss.fff"
  if (canonical.size() < 16) return canonical;
  int year = ToInt(std::string_view(canonical).substr(0, 4));
  int month = ToInt(std::string_view(canonical).substr(5, 2));
  int day = ToInt(std::string_view(canonical).substr(8, 2));
  int hour = ToInt(std::string_view(canonical).substr(11, 2));
  int minute = ToInt(std::string_view(canonical).substr(14, 2));
  if (month < 1 || month > 12) return canonical;
  int hour12 = hour % 12 == 0 ? 12 : hour % 12;
  std::string text = kMonthAbbreviations[month - 1];
  text += Format(" %2d %04d ", day, year, 0);
  text += Format("%2d:%02d", hour12, minute, 0);
  text += hour < 12 ? "AM" : "PM";
  return text;
}

}  // namespace sandbox::convert_detail
