#include "sandbox/engine/stored_value.h"

namespace sandbox::stored_value_detail {

std::string FormatDecimal(double value, int scale) {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", scale, value);
  std::string text = buffer;
  if (text[0] == '-') {
    bool zero = text.find_first_not_of("-0.") == std::string::npos;
    if (zero) text.erase(0, 1);
  }
  return text;
}

// An exact decimal text brought to the given scale (digits cut or zeros added).
std::string Rescale(const std::string& text, int scale) {
  size_t dot = text.find('.');
  std::string whole = dot == std::string::npos ? text : text.substr(0, dot);
  std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
  if (static_cast<int>(fraction.size()) > scale) {
    return FormatDecimal(std::strtod(text.c_str(), nullptr), scale);
  }
  fraction.append(static_cast<size_t>(scale) - fraction.size(), '0');
  return scale > 0 ? whole + "." + fraction : whole;
}

}  // namespace sandbox::stored_value_detail
