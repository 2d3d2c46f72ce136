#pragma once

#include <string>

namespace sandbox::sample {

/// "yyyy-mm-dd" for day_of_year (0-based) of year. Throws std::out_of_range past the year.
std::string DateText(int year, int day_of_year);

/// "yyyy-mm-dd hh:mm:ss.fff" (digits fractional digits of second_fraction, 0 to 7; none and
/// no point for 0): the ISO form every date and time type reads whatever the DATEFORMAT.
std::string DateTimeText(int year, int day_of_year, int second_of_day, long second_fraction,
                         int digits);

}  // namespace sandbox::sample
