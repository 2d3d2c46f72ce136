#include "sandbox/tds/tokens.h"

#include <algorithm>

#include "sandbox/tds/text_encoding.h"
#include "sandbox/tds/value_encoding.h"

namespace sandbox::tds {
namespace {

constexpr std::uint8_t kColMetadata = 0x81;
constexpr std::uint8_t kError = 0xAA;
constexpr std::uint8_t kInfo = 0xAB;
constexpr std::uint8_t kLoginAck = 0xAD;
constexpr std::uint8_t kRow = 0xD1;
constexpr std::uint8_t kNbcRow = 0xD2;
constexpr std::uint8_t kEnvChange = 0xE3;
constexpr std::uint8_t kReturnStatus = 0x79;
constexpr std::uint8_t kReturnValue = 0xAC;
constexpr std::uint16_t kFlagNullable = 0x0001;
constexpr std::uint16_t kFlagIdentity = 0x0010;

// B_VARCHAR: a character count byte then UTF-16LE; longer texts are cut at 255 characters.
void BVarChar(WireWriter& w, const std::string& utf8) {
  Bytes text = Utf8ToUtf16Le(utf8);
  if (text.size() > 510) text.resize(510);
  w.U8(static_cast<std::uint8_t>(text.size() / 2));
  w.Raw(text);
}

// A message of 2,048 characters or more keeps its first 2,044 and an ellipsis, as SQL Server
// cuts RAISERROR's; the ERROR token's 16-bit length could not carry one much longer (an
// unclosed quote quotes the rest of the batch back).
constexpr std::size_t kLongestMessage = 2047;
constexpr std::size_t kCutMessage = 2044;

// US_VARCHAR: a 16-bit character count then UTF-16LE; a long message cut as above, never
// between the halves of a surrogate pair.
void MessageText(WireWriter& w, const std::string& utf8) {
  Bytes text = Utf8ToUtf16Le(utf8);
  if (text.size() > kLongestMessage * 2) {
    std::size_t units = kCutMessage;
    const auto last = static_cast<unsigned>(text[2 * units - 2] | (text[2 * units - 1] << 8));
    if (last >= 0xD800 && last <= 0xDBFF) --units;
    text.resize(2 * units);
    for (int dot = 0; dot < 3; ++dot) WireWriter(text).U16('.');
  }
  w.U16(static_cast<std::uint16_t>(text.size() / 2));
  w.Raw(text);
}

// The user type field: 32 bits from TDS 7.2 on, 16 before.
void WriteUserType(WireWriter& w, const ColumnType& type, std::uint32_t tds_version) {
  if (tds_version >= kTds72) {
    w.U32(UserType(type));
  } else {
    w.U16(static_cast<std::uint16_t>(UserType(type)));
  }
}

// Writes a token whose u16 length follows its type byte.
template <typename Body>
void LengthPrefixed(WireWriter& w, std::uint8_t token, Body body) {
  w.U8(token);
  const std::size_t at = w.Size();
  w.U16(0);
  body();
  w.PatchU16(at, static_cast<std::uint16_t>(w.Size() - at - 2));
}

}  // namespace

void WriteLoginAck(WireWriter& w, std::uint32_t tds_version) {
  LengthPrefixed(w, kLoginAck, [&] {
    w.U8(1);  // SQL interface
    w.U32Be(tds_version);
    BVarChar(w, "Microsoft SQL Server");
    w.U8(16);
    w.U8(0);
    w.U16Be(1000);
  });
}

void WriteEnvChange(WireWriter& w, EnvChange type, const std::string& new_value,
                    const std::string& old_value) {
  LengthPrefixed(w, kEnvChange, [&] {
    w.U8(static_cast<std::uint8_t>(type));
    BVarChar(w, new_value);
    BVarChar(w, old_value);
  });
}

void WriteEnvChangeBytes(WireWriter& w, EnvChange type, std::span<const std::uint8_t> new_value,
                         std::span<const std::uint8_t> old_value) {
  LengthPrefixed(w, kEnvChange, [&] {
    w.U8(static_cast<std::uint8_t>(type));
    w.U8(static_cast<std::uint8_t>(new_value.size()));
    w.Raw(new_value);
    w.U8(static_cast<std::uint8_t>(old_value.size()));
    w.Raw(old_value);
  });
}

void WriteMessage(WireWriter& w, const ServerMessage& m) {
  LengthPrefixed(w, m.severity > 10 ? kError : kInfo, [&] {
    w.U32(static_cast<std::uint32_t>(m.number));
    w.U8(static_cast<std::uint8_t>(m.state));
    w.U8(static_cast<std::uint8_t>(m.severity));
    MessageText(w, m.text);
    BVarChar(w, m.server);
    BVarChar(w, m.procedure);
    w.U32(static_cast<std::uint32_t>(m.line));
  });
}

void WriteDone(WireWriter& w, std::uint16_t status, std::uint64_t row_count, std::uint16_t command,
               std::uint8_t token, std::uint32_t tds_version) {
  w.U8(token);
  w.U16(status);
  w.U16(command);
  if (tds_version >= kTds72) {
    w.U64(row_count);
  } else {
    w.U32(static_cast<std::uint32_t>(row_count));
  }
}

void WriteReturnStatus(WireWriter& w, std::int32_t status) {
  w.U8(kReturnStatus);
  w.U32(static_cast<std::uint32_t>(status));
}

void WriteReturnValue(WireWriter& w, std::uint16_t ordinal, const std::string& name,
                      const ColumnType& type, const Value& value, std::uint32_t tds_version) {
  Bytes token;  // complete before it joins the stream
  WireWriter t(token);
  t.U8(kReturnValue);
  t.U16(ordinal);
  BVarChar(t, name);
  t.U8(0x01);  // an OUTPUT parameter's value
  WriteUserType(t, type, tds_version);
  t.U16(kFlagNullable);
  WriteTypeInfo(t, type);
  WriteValue(t, type, value);
  w.Raw(token);
}

std::vector<ResultColumn> ForClient(std::vector<ResultColumn> columns, std::uint32_t tds_version) {
  for (ResultColumn& column : columns) {
    ColumnType& type = column.type;
    const int digits = type.scale > 0 ? type.scale + 1 : 0;  // the point and the fraction
    if (tds_version < kTds73) {
      // The literal lengths: yyyy-mm-dd, hh:mm:ss[.f], both, and " +hh:mm".
      if (type.type == SqlType::Date) type = {SqlType::NVarChar, 10, 0, 0};
      if (type.type == SqlType::Time) type = {SqlType::NVarChar, 8 + digits, 0, 0};
      if (type.type == SqlType::DateTime2) type = {SqlType::NVarChar, 19 + digits, 0, 0};
      if (type.type == SqlType::DateTimeOffset) type = {SqlType::NVarChar, 26 + digits, 0, 0};
    }
    if (tds_version < kTds72) {
      const bool max = type.length == ColumnType::kMax;
      if (type.type == SqlType::Xml || (max && type.type == SqlType::NVarChar)) {
        type = {SqlType::NText, 0, 0, 0};
      } else if (max && type.type == SqlType::VarChar) {
        type = {SqlType::Text, 0, 0, 0};
      } else if (max && type.type == SqlType::VarBinary) {
        type = {SqlType::Image, 0, 0, 0};
      }
    }
  }
  return columns;
}

void WriteColumnMetadata(WireWriter& w, const std::vector<ResultColumn>& columns,
                         std::uint32_t tds_version) {
  w.U8(kColMetadata);
  w.U16(static_cast<std::uint16_t>(columns.size()));
  for (const ResultColumn& c : columns) {
    WriteUserType(w, c.type, tds_version);
    std::uint16_t flags = 0;
    if (c.nullable) flags |= kFlagNullable;
    if (c.identity) flags |= kFlagIdentity;
    w.U16(flags);
    WriteTypeInfo(w, c.type, c.nullable, tds_version);
    BVarChar(w, c.name);
  }
}

void WriteRow(WireWriter& w, const std::vector<ResultColumn>& columns, const Row& row) {
  if (row.size() != columns.size()) {
    throw ValueError("a row of " + std::to_string(row.size()) + " values for " +
                     std::to_string(columns.size()) + " columns");
  }
  Bytes body;
  WireWriter b(body);
  const bool any_null = std::any_of(row.begin(), row.end(), [](const Value& v) {
    return std::holds_alternative<std::monostate>(v);
  });
  if (any_null) {
    // NBCROW: a bitmap of the NULLs, then only the other values.
    b.U8(kNbcRow);
    Bytes bitmap((columns.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (std::holds_alternative<std::monostate>(row[i])) {
        bitmap[i / 8] = static_cast<std::uint8_t>(bitmap[i / 8] | (1u << (i % 8)));
      }
    }
    b.Raw(bitmap);
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (!std::holds_alternative<std::monostate>(row[i])) {
        WriteValue(b, columns[i].type, row[i], columns[i].nullable);
      }
    }
  } else {
    b.U8(kRow);
    for (std::size_t i = 0; i < row.size(); ++i) {
      WriteValue(b, columns[i].type, row[i], columns[i].nullable);
    }
  }
  w.Raw(body);
}

}  // namespace sandbox::tds
