#include "check/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <variant>

#include "db/general_number.h"
#include "db/hex.h"

namespace devir::check {
namespace {

constexpr std::size_t kTextShown = 60;
constexpr std::size_t kBytesShown = 32;

std::string Shortest(double value) {
  if (!std::isfinite(value)) return db::GeneralNumberText(value);
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// Cut at a character's start, not inside a UTF-8 sequence.
std::string Cut(const std::string& text, std::size_t characters) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (seen++ == characters) return text.substr(0, i) + "...";
  }
  return text;
}

}  // namespace

std::string ValueText(const db::FieldValue& value) {
  struct Visitor {
    std::string operator()(std::monostate) const { return "NULL"; }
    std::string operator()(const std::string& text) const {
      return "'" + Cut(text, kTextShown) + "'";
    }
    std::string operator()(std::int64_t number) const { return std::to_string(number); }
    std::string operator()(double number) const { return Shortest(number); }
    std::string operator()(const db::DateTime& t) const {
      char text[64];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%09u", t.year, t.month, t.day,
                    t.hour, t.minute, t.second, static_cast<unsigned>(t.nanosecond));
      return text;
    }
    std::string operator()(const db::Bytes& bytes) const {
      const bool cut = bytes.data.size() > kBytesShown;
      return "0x" + db::UpperHex(std::string_view(bytes.data).substr(0, kBytesShown)) +
             (cut ? "..." : "");
    }
  };
  return std::visit(Visitor{}, value);
}

}  // namespace devir::check
