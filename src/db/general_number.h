#pragma once

#include <string>
#include <string_view>

namespace devir::db {

/// A double as general number text: at most 15 significant digits, trailing zeros dropped,
/// a point as decimal separator, fixed notation for 1E-4 <= |x| < 1E15 and otherwise
/// scientific notation without plus sign or leading exponent zeros ("1E-5", "1.5E15").
/// Zero (also negative zero) is "0"; NaN and the infinities are "NAN", "INF" and "-INF".
/// Never throws except std::bad_alloc.
std::string GeneralNumberText(double value);

/// Lays out a nonzero finite number written by std::to_chars in scientific form
/// ("[-]d[.ddd]e[+-]XX", any number of digits) as general number text: trailing zeros
/// dropped, fixed notation for exponents -4 to 14, otherwise "d[.ddd]E[-]X". Never throws
/// except std::bad_alloc.
std::string GeneralNumberLayout(std::string_view scientific);

}  // namespace devir::db
