#pragma once

#include <string>

namespace devir::script {

/// The shortest text that reads back as exactly this double, laid out as general number
/// text: a point as separator, fixed notation for 1E-4 <= |x| < 1E15, otherwise scientific
/// with "E", no plus sign and no leading exponent zeros ("1E-5", "1.7976931348623157E308").
/// Both zeros are "0". A value with up to 15 significant digits comes out exactly as its
/// general number text. Throws std::domain_error for NaN and the infinities, which SQL
/// Server cannot store.
std::string ShortestDoubleText(double value);

/// The same for a single-precision value (a `real` column): the shortest text that reads
/// back as this float, so 0.1f is "0.1". Throws std::domain_error for NaN and infinities.
std::string ShortestRealText(float value);

}  // namespace devir::script
