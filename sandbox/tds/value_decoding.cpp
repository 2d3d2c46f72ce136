#include "sandbox/tds/value_decoding.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>

#include "sandbox/tds/text_encoding.h"
#include "sandbox/tds/value_encoding.h"

namespace sandbox::tds {
namespace {

using UInt128 = unsigned __int128;

constexpr std::uint16_t kPlpLength = 0xFFFF;
constexpr std::uint64_t kPlpNull = 0xFFFFFFFFFFFFFFFFull;
constexpr std::uint32_t kLongNull = 0xFFFFFFFF;
constexpr std::int64_t k100nsPerDay = 864000000000;

ColumnType Type(SqlType type, int length = 0, int precision = 0, int scale = 0) {
  return ColumnType{type, length, precision, scale};
}

std::int64_t SignedLe(std::span<const std::uint8_t> bytes) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) v |= std::uint64_t{bytes[i]} << (8 * i);
  const unsigned bits = static_cast<unsigned>(8 * bytes.size());
  if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~std::uint64_t{0} << bits;
  return static_cast<std::int64_t>(v);
}

std::uint64_t UnsignedLe(std::span<const std::uint8_t> bytes) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) v |= std::uint64_t{bytes[i]} << (8 * i);
  return v;
}

// An exact decimal text of magnitude * 10^-scale.
std::string DecimalText(bool negative, UInt128 magnitude, int scale) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  if (static_cast<int>(digits.size()) <= scale) {
    digits.insert(0, static_cast<std::size_t>(scale) - digits.size() + 1, '0');
  }
  std::string text = digits;
  if (scale > 0) text.insert(text.size() - static_cast<std::size_t>(scale), ".");
  const bool zero = text.find_first_not_of("0.") == std::string::npos;
  return negative && !zero ? "-" + text : text;
}

std::string MoneyText(std::int64_t units) {
  const bool negative = units < 0;
  const UInt128 magnitude = negative ? UInt128(-(units + 1)) + 1 : UInt128(units);
  return DecimalText(negative, magnitude, 4);
}

std::string TimeText(std::int64_t time_100ns, int digits) {
  const std::int64_t seconds = time_100ns / 10000000;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  std::string text = buffer;
  if (digits > 0) {
    std::snprintf(buffer, sizeof buffer, "%07lld", static_cast<long long>(time_100ns % 10000000));
    text += "." + std::string(buffer).substr(0, static_cast<std::size_t>(digits));
  }
  return text;
}

std::int64_t Pow10(int n) {
  std::int64_t v = 1;
  while (n-- > 0) v *= 10;
  return v;
}

// Time of day in units of 10^-scale seconds, as 100 ns.
std::int64_t Time100ns(std::span<const std::uint8_t> bytes, int scale) {
  return static_cast<std::int64_t>(UnsignedLe(bytes)) * Pow10(7 - scale);
}

std::string GuidText(std::span<const std::uint8_t> b) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[3], b[2],
                b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return buffer;
}

// (var)char bytes in the collation's code page: UTF-8 for a UTF-8 collation, else the
// server's code page 1254.
std::string CharText(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> collation) {
  const std::string raw(bytes.begin(), bytes.end());
  const bool utf8 = collation.size() == 5 && (collation[3] & 0x04) != 0;
  return utf8 ? raw : Cp1254ToUtf8(raw);
}

Bytes ReadPlp(WireReader& r, bool* null) {
  const std::uint64_t total = r.U64();
  *null = total == kPlpNull;
  Bytes data;
  if (*null) return data;
  while (true) {
    const std::uint32_t chunk = r.U32();
    if (chunk == 0) return data;
    const auto part = r.Take(chunk);
    data.insert(data.end(), part.begin(), part.end());
  }
}

// The value bytes of a BYTELEN type: nullopt for NULL (length 0).
std::optional<std::span<const std::uint8_t>> ByteLenValue(WireReader& r) {
  const std::uint8_t length = r.U8();
  if (length == 0) return std::nullopt;
  return r.Take(length);
}

void CheckSize(std::size_t size, std::initializer_list<std::size_t> allowed) {
  for (std::size_t a : allowed) {
    if (size == a) return;
  }
  throw ProtocolError("a parameter value of " + std::to_string(size) + " bytes for its type");
}

Value DateTimeValue(std::span<const std::uint8_t> b) {
  CheckSize(b.size(), {4, 8});
  if (b.size() == 4) {
    const std::int64_t days = static_cast<std::int64_t>(UnsignedLe(b.subspan(0, 2)));
    const std::int64_t minutes = static_cast<std::int64_t>(UnsignedLe(b.subspan(2, 2)));
    return DateFromDays(days + DaysFromCivil(1900, 1, 1)) + " " +
           TimeText(minutes * 600000000, 0).substr(0, 6) + "00.000";
  }
  const std::int64_t days = SignedLe(b.subspan(0, 4));
  const std::int64_t ticks = static_cast<std::int64_t>(UnsignedLe(b.subspan(4, 4)));
  const std::int64_t milliseconds = (ticks * 1000 + 150) / 300;
  return DateFromDays(days + DaysFromCivil(1900, 1, 1)) + " " + TimeText(milliseconds * 10000, 3);
}

TypedValue Fixed(WireReader& r, SqlType type, std::size_t size) {
  const auto b = r.Take(size);
  TypedValue out{Type(type), {}};
  switch (type) {
    case SqlType::TinyInt:
      out.value = static_cast<std::int64_t>(b[0]);
      break;
    case SqlType::Bit:
      out.value = std::int64_t{b[0] != 0};
      break;
    case SqlType::Real:
      out.value =
          static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(UnsignedLe(b))));
      break;
    case SqlType::Float:
      out.value = std::bit_cast<double>(UnsignedLe(b));
      break;
    case SqlType::Money:
      out.value = MoneyText(static_cast<std::int64_t>((UnsignedLe(b.subspan(0, 4)) << 32) |
                                                      UnsignedLe(b.subspan(4, 4))));
      break;
    case SqlType::SmallMoney:
      out.value = MoneyText(SignedLe(b));
      break;
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
      out.value = DateTimeValue(b);
      break;
    default:
      out.value = SignedLe(b);
      break;
  }
  return out;
}

// A nullable number, date or guid whose TYPE_INFO is a length byte (INTN, FLTN, ...).
TypedValue Nullable(WireReader& r, std::uint8_t token) {
  const std::uint8_t max = r.U8();
  SqlType type = SqlType::Int;
  switch (token) {
    case 0x26:
      CheckSize(max, {1, 2, 4, 8});
      type = max == 1   ? SqlType::TinyInt
             : max == 2 ? SqlType::SmallInt
             : max == 4 ? SqlType::Int
                        : SqlType::BigInt;
      break;
    case 0x68:
      type = SqlType::Bit;
      break;
    case 0x6D:
      CheckSize(max, {4, 8});
      type = max == 4 ? SqlType::Real : SqlType::Float;
      break;
    case 0x6E:
      CheckSize(max, {4, 8});
      type = max == 4 ? SqlType::SmallMoney : SqlType::Money;
      break;
    case 0x6F:
      CheckSize(max, {4, 8});
      type = max == 4 ? SqlType::SmallDateTime : SqlType::DateTime;
      break;
    case 0x24:
      type = SqlType::UniqueIdentifier;
      break;
  }
  const auto bytes = ByteLenValue(r);
  if (!bytes) return {Type(type), std::monostate{}};
  if (type == SqlType::UniqueIdentifier) {
    CheckSize(bytes->size(), {16});
    return {Type(type), GuidText(*bytes)};
  }
  if (type == SqlType::Bit) CheckSize(bytes->size(), {1});
  if (token == 0x26) CheckSize(bytes->size(), {max});
  WireReader value(*bytes);
  TypedValue out = Fixed(value, type, bytes->size());
  // A value shorter than the declared size keeps the size of its bytes' type.
  if (token == 0x6D && bytes->size() == 4) out.type = Type(SqlType::Real);
  return out;
}

TypedValue DecimalValue(WireReader& r, std::uint8_t token) {
  r.U8();  // the largest value size
  const int precision = r.U8();
  const int scale = r.U8();
  if (precision < 1 || precision > 38 || scale > precision) {
    throw ProtocolError("decimal(" + std::to_string(precision) + "," + std::to_string(scale) + ")");
  }
  const ColumnType type = Type(token == 0x6C || token == 0x3F ? SqlType::Numeric : SqlType::Decimal,
                               0, precision, scale);
  const auto bytes = ByteLenValue(r);
  if (!bytes) return {type, std::monostate{}};
  if (bytes->size() < 2 || bytes->size() > 17) throw ProtocolError("decimal value size");
  UInt128 magnitude = 0;
  for (std::size_t i = bytes->size(); i-- > 1;) magnitude = (magnitude << 8) | (*bytes)[i];
  return {type, DecimalText((*bytes)[0] == 0, magnitude, scale)};
}

TypedValue DateTimeN(WireReader& r, std::uint8_t token) {
  const int scale = token == 0x28 ? 0 : r.U8();
  if (scale > 7) throw ProtocolError("time scale " + std::to_string(scale));
  const SqlType type = token == 0x28   ? SqlType::Date
                       : token == 0x29 ? SqlType::Time
                       : token == 0x2A ? SqlType::DateTime2
                                       : SqlType::DateTimeOffset;
  const ColumnType column = Type(type, 0, 0, scale);
  const auto bytes = ByteLenValue(r);
  if (!bytes) return {column, std::monostate{}};
  const std::size_t time_size = scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
  const auto b = *bytes;
  switch (type) {
    case SqlType::Date:
      CheckSize(b.size(), {3});
      return {column, DateFromDays(static_cast<std::int64_t>(UnsignedLe(b)))};
    case SqlType::Time:
      CheckSize(b.size(), {time_size});
      return {column, TimeText(Time100ns(b, scale), scale)};
    case SqlType::DateTime2: {
      CheckSize(b.size(), {time_size + 3});
      const auto days = static_cast<std::int64_t>(UnsignedLe(b.subspan(time_size, 3)));
      return {column, DateFromDays(days) + " " +
                          TimeText(Time100ns(b.subspan(0, time_size), scale), scale)};
    }
    default: {
      CheckSize(b.size(), {time_size + 5});
      // The value is UTC; the stored form is the local time with its offset.
      const int offset = static_cast<int>(SignedLe(b.subspan(time_size + 3, 2)));
      std::int64_t total =
          static_cast<std::int64_t>(UnsignedLe(b.subspan(time_size, 3))) * k100nsPerDay +
          Time100ns(b.subspan(0, time_size), scale) + std::int64_t{offset} * 600000000;
      if (total < 0) total = 0;
      char zone[16];
      std::snprintf(zone, sizeof zone, " %c%02d:%02d", offset < 0 ? '-' : '+',
                    std::abs(offset) / 60, std::abs(offset) % 60);
      return {column, DateFromDays(total / k100nsPerDay) + " " +
                          TimeText(total % k100nsPerDay, scale) + zone};
    }
  }
}

// The (n)(var)char and (var)binary types with a 16-bit maximum length, and their (max) forms.
TypedValue ShortLen(WireReader& r, std::uint8_t token) {
  const std::uint16_t max = r.U16();
  const bool text = token == 0xA7 || token == 0xAF || token == 0xE7 || token == 0xEF;
  const bool unicode = token == 0xE7 || token == 0xEF;
  std::span<const std::uint8_t> collation;
  if (text) collation = r.Take(5);
  SqlType type = SqlType::VarBinary;
  if (token == 0xA7) type = SqlType::VarChar;
  if (token == 0xAF) type = SqlType::Char;
  if (token == 0xE7) type = SqlType::NVarChar;
  if (token == 0xEF) type = SqlType::NChar;
  if (token == 0xAD) type = SqlType::Binary;
  const int length = max == kPlpLength ? ColumnType::kMax : unicode ? max / 2 : max;
  const ColumnType column = Type(type, length);
  Bytes plp;
  std::span<const std::uint8_t> data;
  if (max == kPlpLength) {
    bool null = false;
    plp = ReadPlp(r, &null);
    if (null) return {column, std::monostate{}};
    data = plp;
  } else {
    const std::uint16_t size = r.U16();
    if (size == 0xFFFF) return {column, std::monostate{}};
    data = r.Take(size);
  }
  if (unicode) {
    if (data.size() % 2 != 0) throw ProtocolError("UTF-16 text of an odd byte count");
    return {column, Utf16LeToUtf8(data)};
  }
  if (text) return {column, CharText(data, collation)};
  return {column, Blob{std::string(data.begin(), data.end())}};
}

// text, ntext and image: a 32-bit maximum and a 32-bit value length.
TypedValue LongLen(WireReader& r, std::uint8_t token) {
  r.U32();
  std::span<const std::uint8_t> collation;
  if (token != 0x22) collation = r.Take(5);
  const SqlType type = token == 0x22   ? SqlType::Image
                       : token == 0x23 ? SqlType::Text
                                       : SqlType::NText;
  const std::uint32_t size = r.U32();
  if (size == kLongNull) return {Type(type), std::monostate{}};
  const auto data = r.Take(size);
  if (type == SqlType::Image) return {Type(type), Blob{std::string(data.begin(), data.end())}};
  if (type == SqlType::NText) return {Type(type), Utf16LeToUtf8(data)};
  return {Type(type), CharText(data, collation)};
}

// The legacy char and binary types with an 8-bit length.
TypedValue ByteLen(WireReader& r, std::uint8_t token) {
  const std::uint8_t max = r.U8();
  const bool text = token == 0x27 || token == 0x2F;
  const SqlType type = token == 0x27   ? SqlType::VarChar
                       : token == 0x2F ? SqlType::Char
                       : token == 0x25 ? SqlType::VarBinary
                                       : SqlType::Binary;
  const auto data = ByteLenValue(r);
  if (!data) return {Type(type, max), std::monostate{}};
  if (text) return {Type(type, max), Cp1254ToUtf8(std::string(data->begin(), data->end()))};
  return {Type(type, max), Blob{std::string(data->begin(), data->end())}};
}

TypedValue XmlValue(WireReader& r) {
  if (r.U8() != 0) {  // an XML schema collection: its database, owner and name
    r.Skip(r.U8() * 2u);
    r.Skip(r.U8() * 2u);
    r.Skip(r.U16() * 2u);
  }
  bool null = false;
  const Bytes data = ReadPlp(r, &null);
  if (null) return {Type(SqlType::Xml), std::monostate{}};
  return {Type(SqlType::Xml), Utf16LeToUtf8(data)};
}

}  // namespace

std::string DateFromDays(std::int64_t days) {
  // Howard Hinnant's civil_from_days, from 0001-01-01 as day 0.
  const std::int64_t z = days - 719162 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lld", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day));
  return buffer;
}

TypedValue ReadTypedValue(WireReader& r) {
  const std::uint8_t token = r.U8();
  switch (token) {
    case 0x1F:  // NULLTYPE
      return {Type(SqlType::Int), std::monostate{}};
    case 0x30:
      return Fixed(r, SqlType::TinyInt, 1);
    case 0x32:
      return Fixed(r, SqlType::Bit, 1);
    case 0x34:
      return Fixed(r, SqlType::SmallInt, 2);
    case 0x38:
      return Fixed(r, SqlType::Int, 4);
    case 0x7F:
      return Fixed(r, SqlType::BigInt, 8);
    case 0x3B:
      return Fixed(r, SqlType::Real, 4);
    case 0x3E:
      return Fixed(r, SqlType::Float, 8);
    case 0x3C:
      return Fixed(r, SqlType::Money, 8);
    case 0x7A:
      return Fixed(r, SqlType::SmallMoney, 4);
    case 0x3D:
      return Fixed(r, SqlType::DateTime, 8);
    case 0x3A:
      return Fixed(r, SqlType::SmallDateTime, 4);
    case 0x26:
    case 0x68:
    case 0x6D:
    case 0x6E:
    case 0x6F:
    case 0x24:
      return Nullable(r, token);
    case 0x37:
    case 0x3F:
    case 0x6A:
    case 0x6C:
      return DecimalValue(r, token);
    case 0x28:
    case 0x29:
    case 0x2A:
    case 0x2B:
      return DateTimeN(r, token);
    case 0xA5:
    case 0xA7:
    case 0xAD:
    case 0xAF:
    case 0xE7:
    case 0xEF:
      return ShortLen(r, token);
    case 0x22:
    case 0x23:
    case 0x63:
      return LongLen(r, token);
    case 0x25:
    case 0x27:
    case 0x2D:
    case 0x2F:
      return ByteLen(r, token);
    case 0xF1:
      return XmlValue(r);
    case 0x62:
      throw ValueError("sql_variant parameters are not supported by this stand-in");
    case 0xF0:
      throw ValueError("CLR type parameters are not supported by this stand-in");
    case 0xF3:
      throw ValueError("table-valued parameters are not supported by this stand-in");
    default:
      throw ProtocolError("unknown parameter type " + std::to_string(token));
  }
}

}  // namespace sandbox::tds
