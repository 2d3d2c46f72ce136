#include "script/date_literal.h"

#include <cstdint>

namespace devir::script {

namespace {

// Zero-padded decimal digits, written without the C library so no locale can reach them.
void AppendDigits(std::string& out, long long value, int width) {
  if (value < 0) {
    out += '-';
    value = -value;
  }
  char buffer[24];
  int length = 0;
  do {
    buffer[length++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  for (int i = length; i < width; ++i) out += '0';
  while (length > 0) out += buffer[--length];
}

void AppendDate(std::string& out, const db::DateTime& value) {
  AppendDigits(out, value.day, 2);
  out += '.';
  AppendDigits(out, value.month, 2);
  out += '.';
  AppendDigits(out, value.year, 4);
}

constexpr std::uint32_t kNanosecondsPerMillisecond = 1'000'000;

}  // namespace

std::string DateLiteral(const db::DateTime& value) {
  std::string out = "'";
  AppendDate(out, value);
  out += '\'';
  return out;
}

std::string DateTimeLiteral(const db::DateTime& value) {
  std::string out = "'";
  AppendDate(out, value);
  if (value.hour != 0 || value.minute != 0 || value.second != 0 || value.nanosecond != 0) {
    out += ' ';
    AppendDigits(out, value.hour, 2);
    out += ':';
    AppendDigits(out, value.minute, 2);
    out += ':';
    AppendDigits(out, value.second, 2);
    out += '.';
    AppendDigits(out, value.nanosecond / kNanosecondsPerMillisecond, 3);
  }
  out += '\'';
  return out;
}

}  // namespace devir::script
