#include "sandbox/tds/value_encoding.h"

#include <bit>
#include <cctype>
#include <cmath>
#include <limits>

#include "sandbox/tds/text_encoding.h"

namespace sandbox::tds {
namespace {

using UInt128 = unsigned __int128;

constexpr std::uint8_t kInt1 = 0x30;
constexpr std::uint8_t kBit = 0x32;
constexpr std::uint8_t kInt2 = 0x34;
constexpr std::uint8_t kInt4 = 0x38;
constexpr std::uint8_t kDateTime4 = 0x3A;
constexpr std::uint8_t kFlt4 = 0x3B;
constexpr std::uint8_t kMoney = 0x3C;
constexpr std::uint8_t kDateTime = 0x3D;
constexpr std::uint8_t kFlt8 = 0x3E;
constexpr std::uint8_t kMoney4 = 0x7A;
constexpr std::uint8_t kInt8 = 0x7F;
constexpr std::uint8_t kIntN = 0x26;
constexpr std::uint8_t kGuid = 0x24;
constexpr std::uint8_t kImage = 0x22;
constexpr std::uint8_t kText = 0x23;
constexpr std::uint8_t kDateN = 0x28;
constexpr std::uint8_t kTimeN = 0x29;
constexpr std::uint8_t kDateTime2N = 0x2A;
constexpr std::uint8_t kDateTimeOffsetN = 0x2B;
constexpr std::uint8_t kNText = 0x63;
constexpr std::uint8_t kBitN = 0x68;
constexpr std::uint8_t kDecimalN = 0x6A;
constexpr std::uint8_t kNumericN = 0x6C;
constexpr std::uint8_t kFltN = 0x6D;
constexpr std::uint8_t kMoneyN = 0x6E;
constexpr std::uint8_t kDateTimN = 0x6F;
constexpr std::uint8_t kBigVarBinary = 0xA5;
constexpr std::uint8_t kBigVarChar = 0xA7;
constexpr std::uint8_t kBigBinary = 0xAD;
constexpr std::uint8_t kBigChar = 0xAF;
constexpr std::uint8_t kNVarChar = 0xE7;
constexpr std::uint8_t kNChar = 0xEF;
constexpr std::uint8_t kXml = 0xF1;

constexpr std::uint16_t kMaxLength = 0xFFFF;  // the (max) forms, sent as PLP
constexpr std::uint64_t kPlpNull = 0xFFFFFFFFFFFFFFFFull;
constexpr std::int64_t k100nsPerDay = 864000000000;
constexpr std::uint32_t kTimestampUserType = 80;

std::string KindName(const Value& v) {
  switch (v.index()) {
    case 0:
      return "NULL";
    case 1:
      return "integer";
    case 2:
      return "float";
    case 3:
      return "text";
    default:
      return "binary";
  }
}

[[noreturn]] void Mismatch(const ColumnType& type, const Value& v) {
  throw ValueError(std::string("a ") + KindName(v) + " value cannot be sent as " +
                   TypeName(type.type));
}

std::int64_t AsInt(const ColumnType& type, const Value& v) {
  if (auto p = std::get_if<std::int64_t>(&v)) return *p;
  Mismatch(type, v);
}

const std::string& AsText(const ColumnType& type, const Value& v) {
  if (auto p = std::get_if<std::string>(&v)) return *p;
  Mismatch(type, v);
}

std::string AsDecimalText(const ColumnType& type, const Value& v) {
  if (auto p = std::get_if<std::int64_t>(&v)) return std::to_string(*p);
  return AsText(type, v);
}

const std::string& AsBytes(const ColumnType& type, const Value& v) {
  if (auto p = std::get_if<Blob>(&v)) return p->bytes;
  if (auto p = std::get_if<std::string>(&v)) return *p;
  Mismatch(type, v);
}

bool IsMax(const ColumnType& type) {
  return type.length == ColumnType::kMax;
}

// An exact decimal: digits without the point, and how many of them are fractional.
struct ParsedDecimal {
  bool negative = false;
  std::string digits;
  int fraction = 0;
};

ParsedDecimal ParseDecimal(const std::string& text) {
  ParsedDecimal out;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) out.negative = text[i++] == '-';
  bool point = false;
  bool any = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      out.digits += c;
      any = true;
      if (point) ++out.fraction;
    } else if (c == ' ') {
      break;
    } else {
      throw ValueError("'" + text + "' is not a decimal number");
    }
  }
  if (!any) throw ValueError("'" + text + "' is not a decimal number");
  return out;
}

// The decimal as an integer count of 10^-scale, rounded half away from zero.
UInt128 ScaledMagnitude(const ParsedDecimal& d, int scale, int max_digits,
                        const std::string& text) {
  std::string digits = d.digits;
  bool round_up = false;
  if (d.fraction > scale) {
    const std::size_t keep = digits.size() - static_cast<std::size_t>(d.fraction - scale);
    round_up = digits[keep] >= '5';
    digits.resize(keep);
  } else {
    digits.append(static_cast<std::size_t>(scale - d.fraction), '0');
  }
  const std::size_t first = digits.find_first_not_of('0');
  digits = first == std::string::npos ? "" : digits.substr(first);
  if (static_cast<int>(digits.size()) > max_digits) {
    throw ValueError("'" + text + "' does not fit " + std::to_string(max_digits) + " digits");
  }
  UInt128 value = 0;
  for (char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
  if (round_up) {
    ++value;
    UInt128 limit = 1;
    for (int k = 0; k < max_digits; ++k) limit *= 10;
    if (value >= limit) {
      throw ValueError("'" + text + "' does not fit " + std::to_string(max_digits) + " digits");
    }
  }
  return value;
}

std::int64_t MoneyUnits(const std::string& text, int digits) {
  const ParsedDecimal d = ParseDecimal(text);
  const UInt128 m = ScaledMagnitude(d, 4, digits, text);
  const UInt128 limit = d.negative ? UInt128{1} << 63 : (UInt128{1} << 63) - 1;
  if (m > limit) throw ValueError("'" + text + "' is out of range for money");
  return d.negative ? static_cast<std::int64_t>(-m) : static_cast<std::int64_t>(m);
}

int TimeLength(int scale) {
  return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

std::int64_t Pow10(int n) {
  std::int64_t v = 1;
  while (n-- > 0) v *= 10;
  return v;
}

void WriteTime(WireWriter& w, std::int64_t time_100ns, int scale) {
  const std::int64_t unit = Pow10(7 - scale);
  w.Le(static_cast<std::uint64_t>((time_100ns + unit / 2) / unit), TimeLength(scale));
}

// Rounds the time to the column's scale first, carrying a full day into the date.
DateTimeParts RoundToScale(DateTimeParts p, int scale) {
  const std::int64_t unit = Pow10(7 - scale);
  p.time_100ns = (p.time_100ns + unit / 2) / unit * unit;
  if (p.time_100ns >= k100nsPerDay) {
    p.time_100ns -= k100nsPerDay;
    ++p.days;
  }
  return p;
}

void CheckScale(const ColumnType& type) {
  if (type.scale < 0 || type.scale > 7) {
    throw ValueError(std::string(TypeName(type.type)) + " scale " + std::to_string(type.scale));
  }
}

void WriteCollation(WireWriter& w) {
  w.Raw(kTurkishCiAs);
}

// Plain character data of a (var)char column: code page 1254, padded for char(n).
std::string CharBytes(const ColumnType& type, const std::string& utf8) {
  std::string bytes = Utf8ToCp1254(utf8);
  if (!IsMax(type) && type.type != SqlType::Text &&
      bytes.size() > static_cast<std::size_t>(type.length)) {
    throw ValueError("a value of " + std::to_string(bytes.size()) + " characters exceeds " +
                     TypeName(type.type) + "(" + std::to_string(type.length) + ")");
  }
  if (type.type == SqlType::Char && bytes.size() < static_cast<std::size_t>(type.length)) {
    bytes.append(static_cast<std::size_t>(type.length) - bytes.size(), ' ');
  }
  return bytes;
}

Bytes NCharBytes(const ColumnType& type, const std::string& utf8) {
  Bytes bytes = Utf8ToUtf16Le(utf8);
  const std::size_t max_bytes = static_cast<std::size_t>(type.length) * 2;
  if (!IsMax(type) && type.type != SqlType::NText && type.type != SqlType::Xml &&
      bytes.size() > max_bytes) {
    throw ValueError("a value of " + std::to_string(bytes.size() / 2) + " characters exceeds " +
                     TypeName(type.type) + "(" + std::to_string(type.length) + ")");
  }
  if (type.type == SqlType::NChar) {
    while (bytes.size() < max_bytes) {
      bytes.push_back(' ');
      bytes.push_back(0);
    }
  }
  return bytes;
}

std::string BinaryBytes(const ColumnType& type, const Value& v) {
  std::string bytes = AsBytes(type, v);
  const std::size_t max =
      type.type == SqlType::Timestamp ? 8 : static_cast<std::size_t>(type.length);
  if (!IsMax(type) && type.type != SqlType::Image && bytes.size() > max) {
    throw ValueError("a value of " + std::to_string(bytes.size()) + " bytes exceeds " +
                     TypeName(type.type) + "(" + std::to_string(max) + ")");
  }
  if ((type.type == SqlType::Binary || type.type == SqlType::Timestamp) && bytes.size() < max) {
    bytes.append(max - bytes.size(), '\0');
  }
  return bytes;
}

template <typename Data>
void WritePlp(WireWriter& w, const Data& data) {
  w.U64(data.size());
  if (!data.empty()) {
    w.U32(static_cast<std::uint32_t>(data.size()));
    w.Raw(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
  }
  w.U32(0);
}

template <typename Data>
void WriteShortData(WireWriter& w, const Data& data) {
  w.U16(static_cast<std::uint16_t>(data.size()));
  w.Raw(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}

// text, ntext and image rows carry a text pointer and timestamp before the data.
template <typename Data>
void WriteLegacyBlob(WireWriter& w, const Data& data) {
  static constexpr char kTextPtr[16] = "dummy textptr\0";
  static constexpr char kTimestamp[8] = "dummyTS";
  w.U8(16);
  w.Raw(std::span(reinterpret_cast<const std::uint8_t*>(kTextPtr), 16));
  w.Raw(std::span(reinterpret_cast<const std::uint8_t*>(kTimestamp), 8));
  w.U32(static_cast<std::uint32_t>(data.size()));
  w.Raw(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}

int ParseNumber(const std::string& text, std::size_t& i, int digits) {
  int v = 0;
  for (int k = 0; k < digits; ++k, ++i) {
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) {
      throw ValueError("'" + text + "' is not a date or time");
    }
    v = v * 10 + (text[i] - '0');
  }
  return v;
}

void Expect(const std::string& text, std::size_t& i, char c) {
  if (i >= text.size() || text[i] != c) throw ValueError("'" + text + "' is not a date or time");
  ++i;
}

}  // namespace

int DecimalLength(int precision) {
  return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

Bytes DecimalBytes(const std::string& text, int precision, int scale) {
  const ParsedDecimal d = ParseDecimal(text);
  const UInt128 magnitude = ScaledMagnitude(d, scale, precision, text);
  Bytes out;
  WireWriter w(out);
  w.U8(d.negative && magnitude != 0 ? 0 : 1);
  const int bytes = DecimalLength(precision) - 1;
  for (int i = 0; i < bytes; ++i) w.U8(static_cast<std::uint8_t>(magnitude >> (8 * i)));
  return out;
}

std::int64_t DaysFromCivil(int year, int month, int day) {
  // Howard Hinnant's days_from_civil, shifted so that 0001-01-01 is day 0.
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 719162;
}

DateTimeParts ParseDateTime(const std::string& text) {
  DateTimeParts out;
  std::size_t i = 0;
  const bool has_date = text.size() >= 10 && text[4] == '-';
  if (has_date) {
    const int year = ParseNumber(text, i, 4);
    Expect(text, i, '-');
    const int month = ParseNumber(text, i, 2);
    Expect(text, i, '-');
    const int day = ParseNumber(text, i, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31) {
      throw ValueError("'" + text + "' is not a date");
    }
    out.days = DaysFromCivil(year, month, day);
    if (i < text.size() && (text[i] == ' ' || text[i] == 'T')) ++i;
  }
  if (i < text.size()) {
    const int hour = ParseNumber(text, i, 2);
    Expect(text, i, ':');
    const int minute = ParseNumber(text, i, 2);
    int second = 0;
    std::int64_t fraction = 0;
    if (i < text.size() && text[i] == ':') {
      ++i;
      second = ParseNumber(text, i, 2);
      if (i < text.size() && text[i] == '.') {
        ++i;
        int digits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
          if (digits < 7) {
            fraction = fraction * 10 + (text[i] - '0');
            ++digits;
          }
          ++i;
        }
        fraction *= Pow10(7 - digits);
      }
    }
    if (hour > 23 || minute > 59 || second > 59) throw ValueError("'" + text + "' is not a time");
    out.time_100ns = ((hour * 60 + minute) * 60 + second) * 10000000LL + fraction;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      const int sign = text[i] == '-' ? -1 : 1;
      ++i;
      const int oh = ParseNumber(text, i, 2);
      Expect(text, i, ':');
      const int om = ParseNumber(text, i, 2);
      out.offset_minutes = sign * (oh * 60 + om);
    }
  }
  if (i != text.size()) throw ValueError("'" + text + "' is not a date or time");
  return out;
}

Bytes GuidBytes(const std::string& text) {
  std::string hex;
  for (char c : text) {
    if (c == '-' || c == '{' || c == '}') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) {
      throw ValueError("'" + text + "' is not a uniqueidentifier");
    }
    hex += c;
  }
  if (hex.size() != 32) throw ValueError("'" + text + "' is not a uniqueidentifier");
  Bytes in;
  for (std::size_t k = 0; k < 32; k += 2) {
    in.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(k, 2), nullptr, 16)));
  }
  return {in[3], in[2], in[1],  in[0],  in[5],  in[4],  in[7],  in[6],
          in[8], in[9], in[10], in[11], in[12], in[13], in[14], in[15]};
}

std::uint8_t FixedLengthType(SqlType type) {
  switch (type) {
    case SqlType::TinyInt:
      return kInt1;
    case SqlType::SmallInt:
      return kInt2;
    case SqlType::Int:
      return kInt4;
    case SqlType::BigInt:
      return kInt8;
    case SqlType::Bit:
      return kBit;
    case SqlType::Real:
      return kFlt4;
    case SqlType::Float:
      return kFlt8;
    case SqlType::Money:
      return kMoney;
    case SqlType::SmallMoney:
      return kMoney4;
    case SqlType::DateTime:
      return kDateTime;
    case SqlType::SmallDateTime:
      return kDateTime4;
    default:
      return 0;
  }
}

std::uint32_t UserType(const ColumnType& type) {
  return type.type == SqlType::Timestamp ? kTimestampUserType : 0;
}

void WriteTypeInfo(WireWriter& w, const ColumnType& type, bool nullable,
                   std::uint32_t tds_version) {
  // No table name: an empty name before TDS 7.2, no name parts after.
  auto no_table = [&] {
    if (tds_version < kTds72) {
      w.U16(0);
    } else {
      w.U8(0);
    }
  };
  if (const std::uint8_t fixed = FixedLengthType(type.type); !nullable && fixed != 0) {
    w.U8(fixed);  // the size is the type's own
    return;
  }
  auto short_length = [&](int units_per_char) {
    if (IsMax(type)) {
      w.U16(kMaxLength);
    } else {
      if (type.length < 0 || type.length * units_per_char > 8000) {
        throw ValueError(std::string(TypeName(type.type)) + " length " +
                         std::to_string(type.length));
      }
      w.U16(static_cast<std::uint16_t>(type.length * units_per_char));
    }
  };
  switch (type.type) {
    case SqlType::TinyInt:
      w.U8(kIntN), w.U8(1);
      return;
    case SqlType::SmallInt:
      w.U8(kIntN), w.U8(2);
      return;
    case SqlType::Int:
      w.U8(kIntN), w.U8(4);
      return;
    case SqlType::BigInt:
      w.U8(kIntN), w.U8(8);
      return;
    case SqlType::Bit:
      w.U8(kBitN), w.U8(1);
      return;
    case SqlType::Real:
      w.U8(kFltN), w.U8(4);
      return;
    case SqlType::Float:
      w.U8(kFltN), w.U8(8);
      return;
    case SqlType::Decimal:
    case SqlType::Numeric:
      if (type.precision < 1 || type.precision > 38 || type.scale < 0 ||
          type.scale > type.precision) {
        throw ValueError("decimal(" + std::to_string(type.precision) + "," +
                         std::to_string(type.scale) + ")");
      }
      w.U8(type.type == SqlType::Decimal ? kDecimalN : kNumericN);
      w.U8(static_cast<std::uint8_t>(DecimalLength(type.precision)));
      w.U8(static_cast<std::uint8_t>(type.precision));
      w.U8(static_cast<std::uint8_t>(type.scale));
      return;
    case SqlType::Money:
      w.U8(kMoneyN), w.U8(8);
      return;
    case SqlType::SmallMoney:
      w.U8(kMoneyN), w.U8(4);
      return;
    case SqlType::DateTime:
      w.U8(kDateTimN), w.U8(8);
      return;
    case SqlType::SmallDateTime:
      w.U8(kDateTimN), w.U8(4);
      return;
    case SqlType::Date:
      w.U8(kDateN);
      return;
    case SqlType::Time:
      CheckScale(type);
      w.U8(kTimeN), w.U8(static_cast<std::uint8_t>(type.scale));
      return;
    case SqlType::DateTime2:
      CheckScale(type);
      w.U8(kDateTime2N), w.U8(static_cast<std::uint8_t>(type.scale));
      return;
    case SqlType::DateTimeOffset:
      CheckScale(type);
      w.U8(kDateTimeOffsetN), w.U8(static_cast<std::uint8_t>(type.scale));
      return;
    case SqlType::Char:
      w.U8(kBigChar);
      short_length(1);
      WriteCollation(w);
      return;
    case SqlType::VarChar:
      w.U8(kBigVarChar);
      short_length(1);
      WriteCollation(w);
      return;
    case SqlType::NChar:
      w.U8(kNChar);
      short_length(2);
      WriteCollation(w);
      return;
    case SqlType::NVarChar:
      w.U8(kNVarChar);
      short_length(2);
      WriteCollation(w);
      return;
    case SqlType::Text:
      w.U8(kText), w.U32(0x7FFFFFFF);
      WriteCollation(w);
      no_table();
      return;
    case SqlType::NText:
      w.U8(kNText), w.U32(0x7FFFFFFE);
      WriteCollation(w);
      no_table();
      return;
    case SqlType::Image:
      w.U8(kImage), w.U32(0x7FFFFFFF);
      no_table();
      return;
    case SqlType::Xml:
      w.U8(kXml), w.U8(0);
      return;  // no schema
    case SqlType::Binary:
      w.U8(kBigBinary);
      short_length(1);
      return;
    case SqlType::VarBinary:
      w.U8(kBigVarBinary);
      short_length(1);
      return;
    case SqlType::Timestamp:
      w.U8(kBigBinary), w.U16(8);
      return;
    case SqlType::UniqueIdentifier:
      w.U8(kGuid), w.U8(16);
      return;
  }
  throw ValueError("unknown column type");
}

void WriteValue(WireWriter& w, const ColumnType& type, const Value& value, bool nullable) {
  const bool null = std::holds_alternative<std::monostate>(value);
  if (!nullable && FixedLengthType(type.type) != 0) {
    // The fixed-length form: the nullable form's value without its length byte.
    if (null)
      throw ValueError(std::string("NULL in a NOT NULL ") + TypeName(type.type) + " column");
    Bytes with_length;
    WireWriter v(with_length);
    WriteValue(v, type, value, true);
    w.Raw(std::span(with_length).subspan(1));
    return;
  }
  switch (type.type) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt: {
      if (null) return w.U8(0);
      const std::int64_t v = AsInt(type, value);
      const int size = type.type == SqlType::TinyInt    ? 1
                       : type.type == SqlType::SmallInt ? 2
                       : type.type == SqlType::Int      ? 4
                                                        : 8;
      const bool fits = size == 8 || (size == 1 ? v >= 0 && v <= 255
                                                : v >= -(std::int64_t{1} << (8 * size - 1)) &&
                                                      v < (std::int64_t{1} << (8 * size - 1)));
      if (!fits)
        throw ValueError(std::to_string(v) + " is out of range for " + TypeName(type.type));
      w.U8(static_cast<std::uint8_t>(size));
      w.Le(static_cast<std::uint64_t>(v), size);
      return;
    }
    case SqlType::Bit:
      if (null) return w.U8(0);
      w.U8(1);
      w.U8(AsInt(type, value) != 0 ? 1 : 0);
      return;
    case SqlType::Real:
    case SqlType::Float: {
      if (null) return w.U8(0);
      double d = 0;
      if (auto p = std::get_if<double>(&value)) {
        d = *p;
      } else if (auto q = std::get_if<std::int64_t>(&value)) {
        d = static_cast<double>(*q);
      } else {
        Mismatch(type, value);
      }
      if (type.type == SqlType::Real) {
        w.U8(4);
        w.U32(std::bit_cast<std::uint32_t>(static_cast<float>(d)));
      } else {
        w.U8(8);
        w.U64(std::bit_cast<std::uint64_t>(d));
      }
      return;
    }
    case SqlType::Decimal:
    case SqlType::Numeric: {
      if (null) return w.U8(0);
      const Bytes bytes = DecimalBytes(AsDecimalText(type, value), type.precision, type.scale);
      w.U8(static_cast<std::uint8_t>(bytes.size()));
      w.Raw(bytes);
      return;
    }
    case SqlType::Money:
    case SqlType::SmallMoney: {
      if (null) return w.U8(0);
      const std::string text = AsDecimalText(type, value);
      if (type.type == SqlType::SmallMoney) {
        const std::int64_t units = MoneyUnits(text, 10);
        if (units < std::numeric_limits<std::int32_t>::min() ||
            units > std::numeric_limits<std::int32_t>::max()) {
          throw ValueError("'" + text + "' is out of range for smallmoney");
        }
        w.U8(4);
        w.U32(static_cast<std::uint32_t>(units));
      } else {
        const auto units = static_cast<std::uint64_t>(MoneyUnits(text, 19));
        w.U8(8);
        w.U32(static_cast<std::uint32_t>(units >> 32));
        w.U32(static_cast<std::uint32_t>(units));
      }
      return;
    }
    case SqlType::DateTime: {
      if (null) return w.U8(0);
      const DateTimeParts p = ParseDateTime(AsText(type, value));
      std::int64_t days = p.days - DaysFromCivil(1900, 1, 1);
      std::int64_t ticks = (p.time_100ns * 3 + 50000) / 100000;
      if (ticks >= 300LL * 86400) {
        ticks -= 300LL * 86400;
        ++days;
      }
      w.U8(8);
      w.U32(static_cast<std::uint32_t>(static_cast<std::int32_t>(days)));
      w.U32(static_cast<std::uint32_t>(ticks));
      return;
    }
    case SqlType::SmallDateTime: {
      if (null) return w.U8(0);
      const DateTimeParts p = ParseDateTime(AsText(type, value));
      std::int64_t days = p.days - DaysFromCivil(1900, 1, 1);
      std::int64_t minutes = (p.time_100ns + 300000000) / 600000000;
      if (minutes >= 1440) {
        minutes -= 1440;
        ++days;
      }
      if (days < 0 || days > 0xFFFF) throw ValueError("smalldatetime out of range");
      w.U8(4);
      w.U16(static_cast<std::uint16_t>(days));
      w.U16(static_cast<std::uint16_t>(minutes));
      return;
    }
    case SqlType::Date: {
      if (null) return w.U8(0);
      const DateTimeParts p = ParseDateTime(AsText(type, value));
      w.U8(3);
      w.Le(static_cast<std::uint64_t>(p.days), 3);
      return;
    }
    case SqlType::Time: {
      if (null) return w.U8(0);
      DateTimeParts p = RoundToScale(ParseDateTime(AsText(type, value)), type.scale);
      w.U8(static_cast<std::uint8_t>(TimeLength(type.scale)));
      WriteTime(w, p.time_100ns, type.scale);
      return;
    }
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset: {
      if (null) return w.U8(0);
      DateTimeParts p = RoundToScale(ParseDateTime(AsText(type, value)), type.scale);
      const bool offset = type.type == SqlType::DateTimeOffset;
      if (offset) {
        // The wire holds UTC; the offset travels beside it.
        std::int64_t total = p.days * k100nsPerDay + p.time_100ns -
                             static_cast<std::int64_t>(p.offset_minutes) * 600000000;
        p.days = total / k100nsPerDay;
        p.time_100ns = total % k100nsPerDay;
      }
      w.U8(static_cast<std::uint8_t>(TimeLength(type.scale) + 3 + (offset ? 2 : 0)));
      WriteTime(w, p.time_100ns, type.scale);
      w.Le(static_cast<std::uint64_t>(p.days), 3);
      if (offset) w.U16(static_cast<std::uint16_t>(static_cast<std::int16_t>(p.offset_minutes)));
      return;
    }
    case SqlType::Char:
    case SqlType::VarChar: {
      if (IsMax(type)) {
        if (null) return w.U64(kPlpNull);
        return WritePlp(w, CharBytes(type, AsText(type, value)));
      }
      if (null) return w.U16(0xFFFF);
      return WriteShortData(w, CharBytes(type, AsText(type, value)));
    }
    case SqlType::NChar:
    case SqlType::NVarChar: {
      if (IsMax(type)) {
        if (null) return w.U64(kPlpNull);
        return WritePlp(w, NCharBytes(type, AsText(type, value)));
      }
      if (null) return w.U16(0xFFFF);
      return WriteShortData(w, NCharBytes(type, AsText(type, value)));
    }
    case SqlType::Xml:
      if (null) return w.U64(kPlpNull);
      return WritePlp(w, NCharBytes(type, AsText(type, value)));
    case SqlType::Text:
      if (null) return w.U8(0);
      return WriteLegacyBlob(w, CharBytes(type, AsText(type, value)));
    case SqlType::NText:
      if (null) return w.U8(0);
      return WriteLegacyBlob(w, NCharBytes(type, AsText(type, value)));
    case SqlType::Image:
      if (null) return w.U8(0);
      return WriteLegacyBlob(w, BinaryBytes(type, value));
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Timestamp:
      if (IsMax(type)) {
        if (null) return w.U64(kPlpNull);
        return WritePlp(w, BinaryBytes(type, value));
      }
      if (null) return w.U16(0xFFFF);
      return WriteShortData(w, BinaryBytes(type, value));
    case SqlType::UniqueIdentifier: {
      if (null) return w.U8(0);
      Bytes bytes;
      if (auto p = std::get_if<Blob>(&value); p && p->bytes.size() == 16) {
        bytes.assign(p->bytes.begin(), p->bytes.end());
      } else {
        bytes = GuidBytes(AsText(type, value));
      }
      w.U8(16);
      w.Raw(bytes);
      return;
    }
  }
  throw ValueError("unknown column type");
}

}  // namespace sandbox::tds
