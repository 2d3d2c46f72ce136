#pragma once

#include <string>

namespace devir::db {

/// A double as general number text: at most 15 significant digits, trailing zeros dropped,
/// a point as decimal separator, fixed notation for 1E-4 <= |x| < 1E15 and otherwise
/// scientific notation without plus sign or leading exponent zeros ("1E-5", "1.5E15").
/// Zero (also negative zero) is "0"; NaN and the infinities are "NAN", "INF" and "-INF".
/// Never throws except std::bad_alloc.
std::string GeneralNumberText(double value);

}  // namespace devir::db
