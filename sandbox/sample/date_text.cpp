#include "sandbox/sample/date_text.h"

#include <cstdio>
#include <stdexcept>

namespace sandbox::sample {
namespace {

bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

std::string DateText(int year, int day_of_year) {
  static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day_of_year < 0 || day_of_year >= (IsLeap(year) ? 366 : 365)) {
    throw std::out_of_range("day " + std::to_string(day_of_year) + " is not in " +
                            std::to_string(year));
  }
  int month = 0;
  for (;; ++month) {
    const int days = kMonthDays[month] + (month == 1 && IsLeap(year) ? 1 : 0);
    if (day_of_year < days) break;
    day_of_year -= days;
  }
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month + 1, day_of_year + 1);
  return text;
}

std::string DateTimeText(int year, int day_of_year, int second_of_day, long second_fraction,
                         int digits) {
  if (second_of_day < 0 || second_of_day >= 86400 || digits < 0 || digits > 7) {
    throw std::out_of_range("time of day out of range");
  }
  char text[48];
  int length =
      std::snprintf(text, sizeof text, "%s %02d:%02d:%02d", DateText(year, day_of_year).c_str(),
                    second_of_day / 3600, second_of_day / 60 % 60, second_of_day % 60);
  if (digits > 0) {
    std::snprintf(text + length, sizeof text - length, ".%0*ld", digits, second_fraction);
  }
  return text;
}

}  // namespace sandbox::sample
