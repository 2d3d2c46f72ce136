#include "script/float_text.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "db/general_number.h"

namespace devir::script {

namespace {

template <typename Number>
std::string Shortest(Number value) {
  if (!std::isfinite(value)) {
    throw std::domain_error("SQL Server cannot store the floating-point value " +
                            std::string(std::isnan(value) ? "NaN" : "infinity") + ".");
  }
  if (value == 0) return "0";
  // Without a precision, to_chars gives the shortest digits that read back exactly.
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  return db::GeneralNumberLayout(
      std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

}  // namespace

std::string ShortestDoubleText(double value) {
  return Shortest(value);
}

std::string ShortestRealText(float value) {
  return Shortest(value);
}

}  // namespace devir::script
